#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Object.h"

class MDL_Lamp;
class MDL_Material;

// How the renderer draws a mesh (the scripts' DISPLAY_MODE_ constants).
enum {
    DISPLAY_MODE_NORMAL = 0,
    DISPLAY_MODE_SPRITE = 1,
};

// The object kind (type 3) that places triangle geometry in a scene. The
// geometry (MDL_MeshData) is shared with every mesh that names it, and so is
// the material until makeOwnMaterial gives the mesh a private copy.
//
// Every user of the geometry (picking, shadow volumes, drawing, mass
// computation) goes through the five virtual geometry operations, which
// animated meshes answer from their deformed data. They accept any index: an
// index outside the arrays (or a mesh without data) gives a zero vector.
class MDL_Mesh : public MDL_Object {
public:
    // No mesh data, no material, display mode normal, empty shadow volume.
    MDL_Mesh();
    // Shares the mesh data and a shared material; a material the original
    // owns is copied, so that neither mesh is left with a deleted one. The
    // display mode is copied; the shadow volume starts empty, the edited
    // flag clear.
    MDL_Mesh(const MDL_Mesh &other);
    // Frees the shadow arrays and an owned material.
    ~MDL_Mesh() override;

    // --- geometry operations ---
    virtual const MTH_Vector3D &vertexPosition(int i);
    virtual const MTH_Vector3D &vertexNormal(int i);
    // The face records (neighbours, face normals, faces-lamp flags); null
    // without mesh data.
    virtual MDL_Face *faceNormals();
    virtual const MTH_Vector3D &boundingBoxMin();
    virtual const MTH_Vector3D &boundingBoxMax();

    // --- mesh data ---
    MDL_MeshData *getMeshData() const { return m_poMeshData; }
    void setMeshData(MDL_MeshData *data) { m_poMeshData = data; }
    // Counts are 0 without mesh data. The element accessors do not check i.
    int getNumVertices() const { return m_poMeshData != nullptr ? m_poMeshData->m_iNumVertices : 0; }
    int getNumNormals() const { return m_poMeshData != nullptr ? m_poMeshData->m_iNumNormals : 0; }
    int getNumUVs() const { return m_poMeshData != nullptr ? m_poMeshData->m_iNumUVs : 0; }
    int getNumColors() const { return m_poMeshData != nullptr ? m_poMeshData->m_iNumColors : 0; }
    int getNumTriangles() const { return m_poMeshData != nullptr ? m_poMeshData->m_iNumTriangles : 0; }
    const MTH_Vector2D &getUV(int i) const { return m_poMeshData->m_poUVs[i]; }
    const MTH_Vector4D &getColor(int i) const { return m_poMeshData->m_poColors[i]; }
    const uint32_t *getTriangle(int i) const { return m_poMeshData->m_puiTriangles + 3 * i; }
    bool isDoubleSided() const { return m_poMeshData != nullptr && m_poMeshData->m_bDoubleSided; }

    // --- material ---
    MDL_Material *getMaterial() const { return m_poMaterial; }
    // Shares material (null allowed); a material the mesh owned is deleted.
    void setMaterial(MDL_Material *material);
    bool ownsMaterial() const { return m_bOwnsMaterial; }
    // Gives the mesh its own copy of its material (a default material when
    // it has none) unless it owns one already; returns the material. Called
    // before any change of the material through the mesh.
    MDL_Material *makeOwnMaterial();

    int getDisplayMode() const { return m_iDisplayMode; }
    void setDisplayMode(int mode) { m_iDisplayMode = mode; }

    // --- vertex edits (on the shared mesh data: every mesh using it sees
    // them). Indices outside the arrays are ignored (false). ---
    bool getVertexPosition(int i, MTH_Vector3D &out) const;
    bool getVertexColor(int i, MTH_Vector4D &out) const;
    bool setVertexPosition(int i, const MTH_Vector3D &p);
    bool setVertexColor(int i, const MTH_Vector4D &c);
    // Back to the positions or colours before the first edit; nothing when
    // none was edited.
    void resetVertexPositions();
    void resetVertexColors();

    // --- render-pass tests: false unless the mesh is visible and has at
    // least one triangle ---
    // No material or an opaque one, and no vertex colour with an alpha
    // other than 1.
    bool isOpaque() const;
    // A transparent material or a vertex colour with an alpha other than 1.
    bool isTransparent() const;
    // A fully transparent material.
    bool isFullyTransparent() const;
    // Type 3 or 7, and no material or one that casts shadows and is not
    // transparent (or is a mirror).
    bool castsShadow() const;

    // --- picking ---
    // Picks the segment from "from" (t = 0) to "to" (t = 1), both in the
    // mesh's own coordinates, against the mesh's front faces (both faces
    // when double-sided). t holds the nearest parameter so far; only nearer
    // hits count. On a hit, t and triangle are set and the result is true.
    // The bounding box is tested first: a ray that misses it fails without
    // testing any triangle. The triangles are found through the geometry's
    // pick tree, with the answer of testing every one in index order (of
    // equally near hits, the lowest index).
    bool pick(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle);
    // The same answer by testing every triangle in index order.
    bool pickEveryTriangle(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle);
    // The pick tree of the geometry the mesh answers with, and the
    // positions it is built over; null without mesh data.
    virtual const MDL_PickTree *pickTree(const MTH_Vector3D *&positions, int &positionCount);

    // --- shadow volume ---
    // Builds the stencil shadow volume for lamp (the scene's shadow lamp),
    // in the mesh's own coordinates, into the three arrays. Nothing is built
    // without a material that casts shadows; the last volume is kept when
    // neither the mesh, its geometry nor the lamp changed since it was built
    // for the same lamp. Clears the mesh's m_bChanged.
    void buildShadowVolume(MDL_Lamp *lamp);
    // The build itself, with the lamp given by its placement in scene
    // coordinates: its position, its third basis row (the direction it
    // shines against), whether it is a sun (directional), the extrusion
    // length in scene units and whether the volume is capped.
    void buildShadowVolumeFrom(const MTH_Vector3D &lampPosition, const MTH_Vector3D &lampAxis, bool sun, double depth,
                               bool capped);
    MDL_Lamp *getShadowLamp() const { return m_poShadowLamp; }

    // --- fields, in order ---
    MDL_MeshData *m_poMeshData;
    MDL_Material *m_poMaterial;
    bool m_bOwnsMaterial;
    int32_t m_iDisplayMode;
    UTIL_DynArray<MTH_Vector3D> m_oShadowSides;   // side triangles, three points each
    UTIL_DynArray<MTH_Vector3D> m_oShadowNearCap; // lamp-facing triangles (capped volumes only)
    UTIL_DynArray<MTH_Vector3D> m_oShadowFarCap;  // the same extruded (capped volumes only)
    MDL_Lamp *m_poShadowLamp;
    // Set by every vertex edit or reset; the renderer drops its cached
    // vertex buffers and clears it.
    bool m_bGeometryEdited;
    // What the shadow volume was built from: the mesh data and its geometry
    // version, and the lamp's kind, shadow type and depth, so that a change
    // of any of them rebuilds it.
    MDL_MeshData *m_poShadowMeshData;
    uint32_t m_uiShadowGeometryVersion;
    bool m_bShadowSun;
    bool m_bShadowCapped;
    double m_fShadowDepth;

private:
    bool pickTriangles(const MTH_Vector3D &from, const MTH_Vector3D &to, double &t, int &triangle, bool everyTriangle);
};

// Whether the ray origin + s x direction meets the triangle (a, b, c) at some
// s < t: the triangle counts when the ray meets its front (its normal
// (b - a) x (c - a) against the direction), or either face when the mesh's
// data is double-sided (mesh may be null: single-sided). Unless anySide, s
// must also be positive. On a hit t = s. Degenerate triangles and rays
// parallel to the plane never hit.
bool MDL_intersectRayTriangle(const MDL_Mesh *mesh, const MTH_Vector3D &origin, const MTH_Vector3D &direction,
                              const MTH_Vector3D &a, const MTH_Vector3D &b, const MTH_Vector3D &c, double &t,
                              bool anySide);
