#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"

class MDL_Camera;
class MDL_Mike;

// Navigation modes of a viewport (the values of the scripts' NAVIGATION_
// constants). In the mixed and glass-ball modes the camera orbits the
// navigation target; in the free and fixed modes the camera is moved directly.
enum {
    NAVIGATION_FREE = 0,
    NAVIGATION_FIXED = 1,
    NAVIGATION_MIXED = 2,
    NAVIGATION_GLASSBALL = 3,
};

// Shadow rendering of a viewport (the values of the scripts' SHADOW_2D and
// SHADOW_3D constants): darkening, or relighting of the shadowed pixels.
enum {
    SHADOW_2D = 0,
    SHADOW_3D = 1,
};

// A rectangle of the document frame through which one camera shows a scene
// and one microphone hears it. Positions and sizes are in frame units (the
// frame's width is 1, y downwards). Viewport coordinates (u, v, depth): u
// runs from 0 at the left edge to 1 at the right edge, v from 0 at the top
// edge to height / width at the bottom edge (both in units of the viewport's
// width), and depth from 0 on the camera's near clip plane to 1 on its far
// clip plane.
//
// The controller owns viewports; camera and microphone are objects of a
// scene, not owned (the controller clears them here when they leave their
// scene). The script bindings read and write the fields directly.
class MDL_Viewport {
public:
    MDL_Viewport(const MTH_Vector2D &position, const MTH_Vector2D &size);
    MDL_Viewport(const MDL_Viewport &) = delete;
    MDL_Viewport &operator=(const MDL_Viewport &) = delete;
    // Detaches the script proxy; camera and microphone stay as they are.
    ~MDL_Viewport();

    // In NAVIGATION_MIXED and NAVIGATION_GLASSBALL with a camera: clamps the
    // radius, azimuth and elevation to their limits (a NaN value counts as
    // 0 first), sets the camera's local basis from the Euler angles
    // (pi/2 - elevation, 0, azimuth - pi/2) scaled by the length its z axis
    // had (1 when that length was 0 or not finite), and places the camera at
    // the target plus radius times the unscaled z axis. Otherwise nothing.
    // Returns x.
    double navigate(double x);

    // Scene point of the viewport point (u, v, depth), through the camera's
    // unproject. False, out untouched, without a camera.
    bool toScene(const MTH_Vector3D &point, MTH_Vector3D &out);
    // Viewport point (u, v, depth) of the scene point, through the camera's
    // project; the inverse of toScene. With equal clip distances the depth is
    // 0. False, out untouched, without a camera.
    bool fromScene(const MTH_Vector3D &point, MTH_Vector3D &out);
    // The pick ray under the viewport point (u, v): origin = toScene (u, v,
    // 0), direction = toScene (u, v, 1) - origin. False, both untouched,
    // without a camera.
    bool getPickRay(const MTH_Vector2D &point, MTH_Vector3D &origin, MTH_Vector3D &direction);

    // height / width of the viewport; 0 when the width is 0, and kept finite.
    double getAspectRatio() const;

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    // Point the camera orbits, in the coordinates of the camera's parent.
    MTH_Vector3D m_oNavigationTarget;
    double m_fNavigationRadius;
    double m_fNavigationElevation; // radians
    double m_fNavigationAzimuth;   // radians
    double m_fRadiusMin, m_fRadiusMax;
    double m_fElevationMin, m_fElevationMax;
    double m_fAzimuthMin, m_fAzimuthMax;
    MDL_Camera *m_poCamera;
    MDL_Mike *m_poMike;
    MTH_Vector2D m_oViewportSize;
    MTH_Vector2D m_oViewportPosition;
    MTH_Vector4D m_oViewportBackground; // RGBA
    // Drawn and found under the mouse.
    bool m_bActive;
    int32_t m_iNavigationMode;
    int32_t m_iShadowType;
};
