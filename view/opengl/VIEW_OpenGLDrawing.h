#pragma once

// Helpers shared by the OpenGL renderer's passes.

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "view/opengl/VIEW_GL.h"

class MDL_Material;
class MDL_Mesh;

// The arrays a mesh is drawn from, each with its element count: an
// animated mesh's deformed positions and normals, else its data's. OpenGL
// reads vertex arrays on the CPU with some drivers, so an array is only
// used when it covers every vertex, and a mesh only drawn when every
// triangle index names a vertex.
struct VIEW_MeshArrays {
    int m_iNumVertices;
    const MTH_Vector3D *m_poPositions;
    const MTH_Vector3D *m_poNormals; // null: none or too short
    const MTH_Vector4D *m_poColors;
    const MTH_Vector2D *m_poUVs;
    int m_iNumTriangles;
    const uint32_t *m_puiTriangles;
};

// The mesh's arrays; false when it has nothing that can be drawn.
bool VIEW_getMeshArrays(MDL_Mesh *mesh, VIEW_MeshArrays &out);

// How often a surface of the material is drawn: once per texture layer,
// once without layers (or without a material).
int VIEW_layerPasses(const MDL_Material *material);

// A capability or a client array on or off.
void VIEW_enable(GLenum capability, bool on);
void VIEW_enableArray(GLenum array, bool on);
// The colour array, and with it the colour material: vertex colours
// replace the material's diffuse colour.
void VIEW_enableColors(bool on);
// Face culling for a mesh: none when it is double-sided.
void VIEW_cullFor(const MDL_Mesh *mesh);
// Two triangles over the whole of the current viewport at the depth z
// (-1 near to 1 far), with identity projection and modelview: the caller
// reloads its own afterwards.
void VIEW_drawScreenQuad(double z);
// value limited to [low, high], low for NaN: the ranges OpenGL accepts
// for exponents and angles, which refuses anything outside them.
double VIEW_clampToRange(double value, double low, double high);
