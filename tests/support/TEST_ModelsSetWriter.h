#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "foundation/MTH_Vector.h"

class MDL_MeshData;

// Writes models-set XML for tests: the top-level containers "textures",
// "materials", "meshes", "animated_meshes", "animations" and "objects" side by
// side (no enclosing root), with their records in the order they were added,
// and the hexadecimal arrays encoded as the readers decode them (lower-case
// digits, two per byte, little-endian values).

// --- hexadecimal encoders ---
// Each value as a little-endian float (size 4) or double (size 8).
std::string TEST_hexDoubles(const double *values, size_t count, int size);
// Each value as a little-endian 16-bit (size 2; -1 gives ffff) or 32-bit
// (size 4) integer.
std::string TEST_hexInts(const int64_t *values, size_t count, int size);
std::string TEST_hexBytes(const unsigned char *bytes, size_t count);
// Text with &, <, > and " escaped for an attribute value or element text.
std::string TEST_xmlEscape(const std::string &text);

// One "mesh" record: the arrays, what is written of them and how.
struct TEST_MeshShape {
    std::string m_sName;
    std::vector<MTH_Vector3D> m_aoPositions;
    std::vector<MTH_Vector3D> m_aoNormals;
    std::vector<MTH_Vector2D> m_aoUVs;
    std::vector<std::array<unsigned char, 4>> m_aaColors; // RGBA bytes
    std::vector<int64_t> m_aiTriangles;                   // three per triangle
    std::vector<int64_t> m_aiNeighbours;                  // three per triangle; written only when not empty
    bool m_bDoubleSided = false;
    bool m_bWriteBox = true; // "min" and "max" from the positions
    int m_iValueSize = 4;    // 4 floats or 8 doubles for positions, normals, UVs
    int m_iIndexSize = 4;    // 2 or 4 bytes for triangles and neighbours

    int triangleCount() const { return static_cast<int>(m_aiTriangles.size() / 3); }
    // The "mesh" element.
    std::string xml() const;
};

// A closed cube centred at the origin with half edge h: 24 vertices (four per
// face, so that each face has its own normal and UVs 0..1), 12 triangles
// wound counter-clockwise seen from outside; each face's two triangles share
// its diagonal from the face's first to its third corner. Faces in order
// -x, +x, -y, +y, -z, +z (triangles 2f and 2f + 1 belong to face f).
TEST_MeshShape TEST_cubeShape(const std::string &name, double h = 1.0);
// A closed UV sphere of radius r: slices around the z axis, stacks from the
// north pole (+z) to the south pole. Vertices on the seam and at the poles
// are repeated for the UVs, with exactly equal positions, so the sphere is
// closed through shared positions only. 2 x slices x (stacks - 1) triangles,
// wound outwards; unit normals.
TEST_MeshShape TEST_sphereShape(const std::string &name, double r, int slices, int stacks);
// A square in the plane z = 0 from (-h, -h) to (h, h), divided into n x n
// cells, each two triangles facing +z; (n + 1)^2 vertices with normal +z and
// UVs 0..1. Open along its border.
TEST_MeshShape TEST_planeShape(const std::string &name, double h = 1.0, int n = 1);
// A grid of nx x ny vertices in z = 0 with unit spacing (no normals, no UVs):
// 2 (nx - 1)(ny - 1) triangles facing +z.
TEST_MeshShape TEST_gridShape(const std::string &name, int nx, int ny);

// A "material" record. Properties are child elements written in order, so a
// test can give any of them (or wrong ones); the helpers append the usual.
struct TEST_MaterialRecord {
    std::string m_sName;
    std::vector<std::pair<std::string, std::string>> m_aChildren;

    explicit TEST_MaterialRecord(const std::string &name = "") : m_sName(name) {}
    TEST_MaterialRecord &child(const std::string &element, const std::string &text);
    TEST_MaterialRecord &diffuse(double r, double g, double b);
    TEST_MaterialRecord &alpha(double a);
    TEST_MaterialRecord &texture(const std::string &textureName);
    TEST_MaterialRecord &color(double r, double g, double b, double a);
    std::string xml() const;
};

// An "object" record of the "objects" container.
struct TEST_ObjectRecord {
    std::string m_sType; // "Mesh", "Lamp", ...
    std::string m_sName;
    std::vector<double> m_afMatrix; // 16 numbers when not empty
    std::string m_sParent;          // written when not empty
    std::string m_sMesh;
    std::string m_sMaterial;
    std::string m_sExtra; // raw XML appended inside the record
    // Skin bindings (vertex group, bone), written as an "animated_meshes"
    // element with the groups' "animated_mesh" children followed by the
    // bones' "bone" children, when not empty.
    std::vector<std::pair<std::string, std::string>> m_aBindings;

    std::string xml() const;
};

// An object record of a type and name, unrotated at a position.
TEST_ObjectRecord TEST_placedObject(const std::string &type, const std::string &name, const MTH_Vector3D &position);

// One key of an "animation" record.
struct TEST_AnimationKey {
    double m_fTime;
    MTH_Vector3D m_oLocation;
    MTH_Vector3D m_oRotation;
    MTH_Vector3D m_oScale;
};

// A tiny PNG image (8-bit RGB, or RGBA with alpha), every pixel the given
// colour.
std::vector<unsigned char> TEST_pngImage(int width, int height, bool alpha, const unsigned char rgba[4]);
// A PNG image of the given pixels (components 3 for RGB or 4 for RGBA, top
// row first).
std::vector<unsigned char> TEST_pngPixels(int width, int height, int components,
                                          const std::vector<unsigned char> &pixels);

class TEST_ModelsSetWriter {
public:
    // A "texture" record: its bytes in hex, "size" their count.
    TEST_ModelsSetWriter &addTexture(const std::string &name, const std::vector<unsigned char> &bytes,
                                     const std::string &filter = "");
    TEST_ModelsSetWriter &addMaterial(const TEST_MaterialRecord &material);
    TEST_ModelsSetWriter &addMesh(const TEST_MeshShape &mesh);
    TEST_ModelsSetWriter &addObject(const TEST_ObjectRecord &object);
    // An "animated_mesh" record (a vertex group) of the "animated_meshes"
    // container: indices of indexSize bytes (2 or 4), weights of weightSize
    // (4 floats or 8 doubles).
    TEST_ModelsSetWriter &addVertexGroup(const std::string &name, const std::vector<int64_t> &indices,
                                         const std::vector<double> &weights, int indexSize = 4, int weightSize = 8);
    // An "animation" record with its keys.
    TEST_ModelsSetWriter &addAnimation(const std::string &name, const std::vector<TEST_AnimationKey> &keys);
    // A raw record (its whole XML) into any container, for the kinds this
    // writer has no helper for ("animated_meshes", "animations", ...).
    TEST_ModelsSetWriter &addRecord(const std::string &container, const std::string &xml);

    // The file's text: each container that has records, in the order
    // textures, materials, meshes, animated_meshes, animations, objects, then
    // any other container in the order first used.
    std::string text() const;

    // A ready-made set: a 2 x 2 RGBA PNG texture "checker", a material
    // "red" (diffuse 1 0 0, one layer with "checker"), a material "glass"
    // (alpha 0.5), the meshes "cube" (TEST_cubeShape), "sphere" (16 slices,
    // 8 stacks) and "plane", and one Mesh object per mesh named after it
    // with the material "red".
    static TEST_ModelsSetWriter sample();

    std::vector<std::pair<std::string, std::string>> m_aRecords; // container, record XML
};

// A models-set text parsed with LoadBuffer, for tests that feed single
// elements to the readers.
class TEST_ParsedXml {
public:
    explicit TEST_ParsedXml(const std::string &text);
    bool ok() const { return m_bOk; }
    // The first top-level element of that name, or null.
    const TiXmlElement *top(const char *name) const;
    // Record index (0 = first) of the given name inside the first top-level
    // container of that name, or null.
    const TiXmlElement *record(const char *container, const char *name, int index = 0) const;

    TiXmlDocument m_oDocument;
    bool m_bOk;
};

// Reads shape into data through its "mesh" element, as a models set would;
// the reader's result.
bool TEST_readMeshData(const TEST_MeshShape &shape, MDL_MeshData &data);
