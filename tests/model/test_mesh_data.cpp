#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/MDL_MeshData.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_ModelsSetWriter.h"

namespace {

// Reads the first "mesh" element of text into data; returns the reader's result.
bool readMesh(const std::string &meshXml, MDL_MeshData &data)
{
    TEST_ParsedXml xml("<meshes>" + meshXml + "</meshes>");
    EXPECT_TRUE(xml.ok());
    return data.loadFromXML(xml.record("meshes", "mesh"));
}

int openEdges(const MDL_MeshData &d)
{
    int n = 0;
    for (int t = 0; t < d.m_iNumTriangles; t++)
        for (int k = 0; k < 3; k++)
            n += d.m_poFaces[t].m_aiNeighbours[k] == -1;
    return n;
}

// Every paired edge is paired both ways, across the same two positions.
void expectSymmetricNeighbours(const MDL_MeshData &d)
{
    for (int t = 0; t < d.m_iNumTriangles; t++)
        for (int k = 0; k < 3; k++) {
            int o = d.m_poFaces[t].m_aiNeighbours[k];
            if (o < 0)
                continue;
            const MTH_Vector3D &a = d.m_poPositions[d.m_puiTriangles[3 * t + k]];
            const MTH_Vector3D &b = d.m_poPositions[d.m_puiTriangles[3 * t + (k + 1) % 3]];
            int back = 0;
            for (int m = 0; m < 3; m++) {
                const MTH_Vector3D &c = d.m_poPositions[d.m_puiTriangles[3 * o + m]];
                const MTH_Vector3D &e = d.m_poPositions[d.m_puiTriangles[3 * o + (m + 1) % 3]];
                if (d.m_poFaces[o].m_aiNeighbours[m] == t && ((c == a && e == b) || (c == b && e == a)))
                    back++;
            }
            EXPECT_EQ(back, 1) << "triangle " << t << " edge " << k;
        }
}

TEST(MeshData, ReadsTheCubeInEveryValueAndIndexSize)
{
    for (int valueSize : {4, 8})
        for (int indexSize : {2, 4}) {
            SCOPED_TRACE(std::to_string(valueSize) + "/" + std::to_string(indexSize));
            TEST_MeshShape cube = TEST_cubeShape("Cube", 0.5);
            cube.m_iValueSize = valueSize;
            cube.m_iIndexSize = indexSize;
            cube.m_bDoubleSided = true;
            MDL_MeshData d;
            ASSERT_TRUE(readMesh(cube.xml(), d));
            EXPECT_STREQ(d.getName(), "Cube");
            EXPECT_EQ(d.m_iNumVertices, 24);
            EXPECT_EQ(d.m_iNumNormals, 24);
            EXPECT_EQ(d.m_iNumUVs, 24);
            EXPECT_EQ(d.m_iNumColors, 0);
            EXPECT_EQ(d.m_iNumTriangles, 12);
            EXPECT_TRUE(d.m_bDoubleSided);
            for (int i = 0; i < 24; i++) {
                EXPECT_EQ(d.m_poPositions[i], cube.m_aoPositions[i]);
                EXPECT_EQ(d.m_poNormals[i], cube.m_aoNormals[i]);
                EXPECT_EQ(d.m_poUVs[i].m_fX, cube.m_aoUVs[i].m_fX);
                EXPECT_EQ(d.m_poUVs[i].m_fY, cube.m_aoUVs[i].m_fY);
            }
            for (int i = 0; i < 36; i++)
                EXPECT_EQ(d.m_puiTriangles[i], static_cast<uint32_t>(cube.m_aiTriangles[i]));
            EXPECT_EQ(d.m_oMin, MTH_Vector3D(-0.5, -0.5, -0.5));
            EXPECT_EQ(d.m_oMax, MTH_Vector3D(0.5, 0.5, 0.5));
            EXPECT_EQ(d.m_poKeptPositions, nullptr);
            EXPECT_EQ(d.m_poKeptColors, nullptr);
        }
}

TEST(MeshData, FaceNormalsAreTheUnnormalisedCrossProducts)
{
    // Cube of half edge 1: each face's normal is 4 along its axis; the
    // triangle (0,0,0) (2,0,0) (0,3,0) gives (0, 0, 6).
    TEST_MeshShape cube = TEST_cubeShape("cube", 1.0);
    MDL_MeshData d;
    ASSERT_TRUE(readMesh(cube.xml(), d));
    const MTH_Vector3D expected[6] = {{-4, 0, 0}, {4, 0, 0}, {0, -4, 0}, {0, 4, 0}, {0, 0, -4}, {0, 0, 4}};
    for (int t = 0; t < 12; t++) {
        EXPECT_EQ(d.m_poFaces[t].m_oNormal, expected[t / 2]) << "triangle " << t;
        EXPECT_FALSE(d.m_poFaces[t].m_bFacesLamp);
    }

    TEST_MeshShape tri;
    tri.m_sName = "tri";
    tri.m_aoPositions = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}};
    tri.m_aiTriangles = {0, 1, 2, 0, 2, 1};
    MDL_MeshData t;
    ASSERT_TRUE(readMesh(tri.xml(), t));
    EXPECT_EQ(t.m_poFaces[0].m_oNormal, MTH_Vector3D(0, 0, 6));
    EXPECT_EQ(t.m_poFaces[1].m_oNormal, MTH_Vector3D(0, 0, -6));
}

TEST(MeshData, ColoursAreBytesOver255AndCountTheNonOpaque)
{
    TEST_MeshShape s;
    s.m_sName = "c";
    s.m_aoPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    s.m_aaColors = {{{255, 0, 51, 255}}, {{0, 255, 0, 128}}, {{1, 2, 3, 0}}};
    s.m_aiTriangles = {0, 1, 2};
    MDL_MeshData d;
    ASSERT_TRUE(readMesh(s.xml(), d));
    ASSERT_EQ(d.m_iNumColors, 3);
    EXPECT_EQ(d.m_poColors[0].m_fX, 1.0);
    EXPECT_EQ(d.m_poColors[0].m_fZ, 51 / 255.0);
    EXPECT_EQ(d.m_poColors[0].m_fW, 1.0);
    EXPECT_EQ(d.m_poColors[1].m_fW, 128 / 255.0);
    EXPECT_EQ(d.m_poColors[2].m_fW, 0.0);
    EXPECT_EQ(d.m_iNumNonOpaqueColors, 2);
}

TEST(MeshData, BoxComesFromThePositionsWhenTheFileGivesNone)
{
    TEST_MeshShape s = TEST_sphereShape("ball", 2.0, 8, 4);
    s.m_aoPositions.push_back({7, -9, 0.5}); // a vertex no triangle uses still counts
    s.m_aoNormals.push_back({0, 0, 1});
    s.m_aoUVs.push_back({0, 0});
    s.m_bWriteBox = false;
    MDL_MeshData d;
    ASSERT_TRUE(readMesh(s.xml(), d));
    EXPECT_EQ(d.m_oMin, MTH_Vector3D(-2, -9, -2));
    EXPECT_EQ(d.m_oMax, MTH_Vector3D(7, 2, 2));

    // Only "min" given (or a short "max"): both come from the positions.
    std::string xml = s.xml();
    xml.insert(xml.find('>') + 1, "<min>-100 -100 -100</min><max>1 1</max>");
    MDL_MeshData e;
    ASSERT_TRUE(readMesh(xml, e));
    EXPECT_EQ(e.m_oMin, MTH_Vector3D(-2, -9, -2));
}

TEST(MeshData, AbsentElementsLeaveEmptyArrays)
{
    MDL_MeshData d;
    ASSERT_TRUE(readMesh("<mesh name=\"empty\"/>", d));
    EXPECT_STREQ(d.getName(), "empty");
    EXPECT_EQ(d.m_iNumVertices + d.m_iNumNormals + d.m_iNumUVs + d.m_iNumColors + d.m_iNumTriangles, 0);
    EXPECT_EQ(d.m_poPositions, nullptr);
    EXPECT_EQ(d.m_poFaces, nullptr);
    EXPECT_EQ(d.m_oMin, MTH_Vector3D());
}

// Neighbour counts of closed and open meshes read without "neighbours".
TEST(MeshData, NeighboursFromSharedPositions)
{
    struct Case {
        const char *what;
        TEST_MeshShape shape;
        int triangles;
        int open;
    };
    const Case cases[] = {
        {"cube, split vertices", TEST_cubeShape("cube"), 12, 0},
        {"sphere with seam and poles", TEST_sphereShape("sphere", 1.0, 16, 8), 224, 0},
        {"sphere 3 x 2", TEST_sphereShape("sphere", 1.0, 3, 2), 6, 0},
        {"plane 1 x 1", TEST_planeShape("plane", 1.0, 1), 2, 4},
        {"plane 4 x 4", TEST_planeShape("plane", 1.0, 4), 32, 16},
        {"grid 5 x 3", TEST_gridShape("grid", 5, 3), 16, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MDL_MeshData d;
        ASSERT_TRUE(readMesh(c.shape.xml(), d));
        EXPECT_EQ(d.m_iNumTriangles, c.triangles);
        EXPECT_EQ(openEdges(d), c.open);
        expectSymmetricNeighbours(d);
    }
}

TEST(MeshData, NeighbourPairingCases)
{
    // Two triangles with distinct but coincident vertices across the edge
    // (1,0,0)-(0,1,0): neighbours, whichever way the second is wound; a
    // third triangle touching only a corner stays apart.
    struct Case {
        const char *what;
        std::vector<int64_t> triangles;
        std::vector<int> neighbours;
    };
    const Case cases[] = {
        {"opposite winding", {0, 1, 2, 3, 5, 4}, {-1, 1, -1, -1, -1, 0}},
        {"same winding", {0, 1, 2, 3, 4, 5}, {-1, 1, -1, 0, -1, -1}},
        {"corner only", {0, 1, 2, 6, 7, 0}, {-1, -1, -1, -1, -1, -1}},
        // An edge of three triangles: the first two pair, the third stays open.
        {"third triangle on a paired edge", {0, 1, 2, 3, 5, 4, 1, 2, 6}, {-1, 1, -1, -1, -1, 0, -1, -1, -1}},
        {"a triangle naming one edge twice", {1, 2, 1, 3, 5, 4}, {1, -1, -1, -1, -1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TEST_MeshShape s;
        s.m_sName = "pair";
        s.m_aoPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}};
        s.m_aiTriangles = c.triangles;
        MDL_MeshData d;
        ASSERT_TRUE(readMesh(s.xml(), d));
        std::vector<int> got;
        for (int t = 0; t < d.m_iNumTriangles; t++)
            for (int k = 0; k < 3; k++)
                got.push_back(d.m_poFaces[t].m_aiNeighbours[k]);
        EXPECT_EQ(got, c.neighbours);
    }
}

TEST(MeshData, NeighboursFromTheFileAreKept)
{
    TEST_MeshShape s = TEST_planeShape("plane", 1.0, 1);
    for (int indexSize : {2, 4}) {
        s.m_iIndexSize = indexSize;
        // Deliberately not the computed ones: the file is trusted when sound.
        s.m_aiNeighbours = {-1, -1, -1, 0, -1, 1};
        MDL_MeshData d;
        ASSERT_TRUE(readMesh(s.xml(), d));
        EXPECT_EQ(d.m_poFaces[0].m_aiNeighbours[0], -1);
        EXPECT_EQ(d.m_poFaces[1].m_aiNeighbours[0], 0);
        EXPECT_EQ(d.m_poFaces[1].m_aiNeighbours[2], 1);
    }
}

// Damaged files: the mesh data is refused (left empty, name kept, false) with
// a diagnostic, never read beyond its arrays.
TEST(MeshData, DamagedArraysAreRefused)
{
    const double corners[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::string full = TEST_hexDoubles(corners, 9, 4);
    const std::string P = full.substr(0, 64); // three vertices but one float short
    const std::string V = "<vertices count=\"3\" size=\"4\">" + full + "</vertices>";
    const std::string T = "<triangles count=\"1\" size=\"2\">000001000200</triangles>";
    struct Case {
        const char *what;
        std::string body;
        const char *diagnostic;
    };
    const Case cases[] = {
        {"vertices short", "<vertices count=\"3\" size=\"4\">" + P + "</vertices>" + T, "shorter than its count"},
        {"vertices without text", "<vertices count=\"3\" size=\"4\"/>", "shorter than its count"},
        {"negative count", "<vertices count=\"-3\" size=\"4\">" + P + "</vertices>", "count out of range"},
        {"count beyond 32 bits", "<vertices count=\"4294967299\" size=\"4\">" + P + "</vertices>",
         "count out of range"},
        {"huge count", "<vertices count=\"2000000000\" size=\"8\">" + P + "</vertices>", "count out of range"},
        {"count just too long for the text", "<vertices count=\"60000000\" size=\"4\">" + P + "</vertices>",
         "shorter than its count"},
        {"vertex size 3", "<vertices count=\"1\" size=\"3\">000000000000000000</vertices>", "unsupported value size"},
        {"vertex size missing", "<vertices count=\"1\">000000000000000000000000</vertices>", "unsupported value size"},
        {"normal size 2", V + "<normals count=\"3\" size=\"2\">" + P + P + "</normals>", "unsupported value size"},
        {"uvs short", V + "<uvs count=\"3\" size=\"4\">00000000</uvs>", "shorter than its count"},
        {"colors short", V + "<colors count=\"3\">ffffffffffffffff</colors>", "shorter than its count"},
        {"triangle size 1", V + "<triangles count=\"1\" size=\"1\">000102</triangles>", "unsupported value size"},
        {"triangles short", V + "<triangles count=\"2\" size=\"2\">000001000200</triangles>", "shorter than its count"},
        {"index at the vertex count", V + "<triangles count=\"1\" size=\"2\">000001000300</triangles>",
         "uses vertex 3 of 3"},
        {"16-bit ffff index", V + "<triangles count=\"1\" size=\"2\">0000ffff0200</triangles>",
         "uses vertex 4294967295 of 3"},
        {"negative 32-bit index", V + "<triangles count=\"1\" size=\"4\">00000000feffffff01000000</triangles>",
         "uses vertex 4294967294"},
        {"triangles without vertices", T, "uses vertex 0 of 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TEST_LogCapture log;
        MDL_MeshData d;
        EXPECT_FALSE(readMesh("<mesh name=\"bad\">" + c.body + "</mesh>", d));
        EXPECT_TRUE(log.contains(c.diagnostic)) << log.joined();
        EXPECT_TRUE(log.contains("Mesh bad")) << log.joined();
        EXPECT_STREQ(d.getName(), "bad");
        EXPECT_EQ(d.m_iNumVertices + d.m_iNumNormals + d.m_iNumUVs + d.m_iNumColors + d.m_iNumTriangles, 0);
        EXPECT_EQ(d.m_poPositions, nullptr);
        EXPECT_EQ(d.m_puiTriangles, nullptr);
        EXPECT_EQ(d.m_poFaces, nullptr);
    }
}

// Milder damage is repaired and reported: the mesh stays usable.
TEST(MeshData, RepairableDamage)
{
    TEST_MeshShape plane = TEST_planeShape("p", 1.0, 1); // 4 vertices, 2 triangles
    struct Case {
        const char *what;
        std::string extra;
        const char *diagnostic;
        int normals, uvs, colors;
    };
    const Case cases[] = {
        {"neighbour out of range", "<neighbours size=\"2\">ffff0100ffff 0000ffff0200</neighbours>",
         "neighbour 2 of triangle 1 out of range", 4, 4, 0},
        {"neighbour below -1", "<neighbours size=\"4\">feffffff0100000000000000 000000000000000000000000</neighbours>",
         "neighbour -2 of triangle 0", 4, 4, 0},
        {"neighbours short", "<neighbours size=\"2\">ffff0100</neighbours>", "\"neighbours\": array shorter", 4, 4, 0},
        {"neighbour size 8", "<neighbours size=\"8\">00</neighbours>", "\"neighbours\": unsupported value size", 4, 4,
         0},
        {"too few colours", "<colors count=\"2\">ffffffff00000000</colors>", "2 colors for 4 vertices", 4, 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string xml = plane.xml();
        xml.insert(xml.size() - 7, c.extra);
        TEST_LogCapture log;
        MDL_MeshData d;
        EXPECT_TRUE(readMesh(xml, d));
        EXPECT_TRUE(log.contains(c.diagnostic)) << log.joined();
        EXPECT_EQ(d.m_iNumTriangles, 2);
        EXPECT_EQ(d.m_iNumNormals, c.normals);
        EXPECT_EQ(d.m_iNumUVs, c.uvs);
        EXPECT_EQ(d.m_iNumColors, c.colors);
        EXPECT_EQ(d.m_iNumNonOpaqueColors, 0);
        // Computed neighbours: the shared diagonal.
        EXPECT_EQ(openEdges(d), 4);
        expectSymmetricNeighbours(d);
    }

    TEST_MeshShape fewNormals = plane;
    fewNormals.m_aoNormals.resize(3);
    TEST_LogCapture log;
    MDL_MeshData d;
    EXPECT_TRUE(readMesh(fewNormals.xml(), d));
    EXPECT_TRUE(log.contains("3 normals for 4 vertices; the normals are dropped")) << log.joined();
    EXPECT_EQ(d.m_iNumNormals, 0);
    EXPECT_EQ(d.m_poNormals, nullptr);
    EXPECT_EQ(d.m_iNumUVs, 4);
}

TEST(MeshData, ReadingAgainReplacesEverything)
{
    MDL_MeshData d;
    ASSERT_TRUE(readMesh(TEST_cubeShape("first").xml(), d));
    d.setPosition(0, MTH_Vector3D(5, 5, 5));
    ASSERT_NE(d.m_poKeptPositions, nullptr);
    ASSERT_TRUE(readMesh(TEST_planeShape("second").xml(), d));
    EXPECT_STREQ(d.getName(), "second");
    EXPECT_EQ(d.m_iNumVertices, 4);
    EXPECT_EQ(d.m_poKeptPositions, nullptr);
    EXPECT_FALSE(d.resetPositions());
}

TEST(MeshData, NanPositionsNeverPair)
{
    TEST_MeshShape s;
    s.m_sName = "nan";
    s.m_aoPositions = {{NAN, 0, 0}, {1, 0, 0}, {0, 1, 0}, {NAN, 0, 0}};
    s.m_aiTriangles = {0, 1, 2, 3, 2, 1};
    MDL_MeshData d;
    ASSERT_TRUE(readMesh(s.xml(), d));
    // Triangle 0 and 1 share the edge (1,0,0)-(0,1,0) only.
    EXPECT_EQ(d.m_poFaces[0].m_aiNeighbours[0], -1);
    EXPECT_EQ(d.m_poFaces[0].m_aiNeighbours[1], 1);
    EXPECT_EQ(d.m_poFaces[0].m_aiNeighbours[2], -1);
    EXPECT_EQ(openEdges(d), 4);
}

} // namespace
