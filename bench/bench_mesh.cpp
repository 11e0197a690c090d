// Mesh data: reading a models-set file with one mesh of 1,000,000 vertices
// (XML parse and mesh reader together, each alone, and the hexadecimal
// decoding of the positions beside a plain loop over the same bytes), the
// neighbour finder on meshes of 20k, 80k and 330k triangles (it must grow
// linearly: see the fitted complexity), and 1,000 picks on a mesh of
// 1,000,000 triangles through its pick tree beside the same picks testing
// every triangle, with the tree's build and refit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"

namespace {

void quiet(const char *, void *) {}

// A terrain of nx x ny vertices: unit spacing with a gentle height field, so
// that the positions are not all small integers. 2 (nx - 1)(ny - 1)
// triangles facing up.
void makeTerrain(MDL_MeshData &d, int nx, int ny)
{
    d.clear();
    d.m_iNumVertices = nx * ny;
    d.m_poPositions = static_cast<MTH_Vector3D *>(malloc(sizeof(MTH_Vector3D) * static_cast<size_t>(nx) * ny));
    for (int j = 0; j < ny; j++)
        for (int i = 0; i < nx; i++) {
            // Rounded to single precision, as positions read from files are.
            float z = static_cast<float>(0.25 * std::sin(i * 0.1) * std::cos(j * 0.13));
            d.m_poPositions[j * nx + i] = MTH_Vector3D(static_cast<float>(i * 0.5f), static_cast<float>(j * 0.5f), z);
        }
    d.m_iNumTriangles = 2 * (nx - 1) * (ny - 1);
    d.m_puiTriangles = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * 3 * static_cast<size_t>(d.m_iNumTriangles)));
    d.m_poFaces = static_cast<MDL_Face *>(calloc(static_cast<size_t>(d.m_iNumTriangles), sizeof(MDL_Face)));
    uint32_t *t = d.m_puiTriangles;
    for (int j = 0; j + 1 < ny; j++)
        for (int i = 0; i + 1 < nx; i++) {
            uint32_t a = static_cast<uint32_t>(j * nx + i), b = a + 1, c = a + nx + 1, e = a + nx;
            const uint32_t quad[6] = {a, b, c, a, c, e};
            memcpy(t, quad, sizeof quad);
            t += 6;
        }
    d.computeBoundingBox(d.m_oMin, d.m_oMax);
    d.computeNeighbours();
    d.computeFaceNormals();
}

const char DIGITS[] = "0123456789abcdef";

void hexAppend(std::string &out, const void *bytes, size_t n)
{
    const unsigned char *b = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < n; i++) {
        out += DIGITS[b[i] >> 4];
        out += DIGITS[b[i] & 15];
    }
}

// The models-set text of a 1000 x 1000 terrain (1,000,000 vertices, about
// 2,000,000 triangles with their neighbours), and its positions' hex text.
struct LargeFile {
    std::string m_sText;
    std::string m_sPositions;
};

const LargeFile &largeFile()
{
    static LargeFile file;
    if (!file.m_sText.empty())
        return file;
    MDL_MeshData d;
    makeTerrain(d, 1000, 1000);
    for (int i = 0; i < d.m_iNumVertices; i++) {
        const float v[3] = {static_cast<float>(d.m_poPositions[i].m_fX), static_cast<float>(d.m_poPositions[i].m_fY),
                            static_cast<float>(d.m_poPositions[i].m_fZ)};
        hexAppend(file.m_sPositions, v, sizeof v);
    }
    std::string &s = file.m_sText;
    s = "<meshes>\n<mesh name=\"terrain\"><min>0 0 -1</min><max>500 500 1</max>";
    s += "<vertices count=\"" + std::to_string(d.m_iNumVertices) + "\" size=\"4\">" + file.m_sPositions + "</vertices>";
    s += "<triangles count=\"" + std::to_string(d.m_iNumTriangles) + "\" size=\"4\">";
    hexAppend(s, d.m_puiTriangles, sizeof(uint32_t) * 3 * static_cast<size_t>(d.m_iNumTriangles));
    s += "</triangles><neighbours size=\"4\">";
    for (int t = 0; t < d.m_iNumTriangles; t++)
        hexAppend(s, d.m_poFaces[t].m_aiNeighbours, sizeof d.m_poFaces[t].m_aiNeighbours);
    s += "</neighbours></mesh>\n</meshes>\n";
    return file;
}

void BM_ReadModelsSetFile(benchmark::State &state)
{
    UTIL_setLogSink(quiet, nullptr);
    const std::string &text = largeFile().m_sText;
    for (auto _ : state) {
        TiXmlDocument document;
        if (!LoadBuffer(document, text.c_str(), 0))
            state.SkipWithError("parse failed");
        MDL_MeshData data;
        if (!data.loadFromXML(document.FirstChildElement("meshes")->FirstChildElement("mesh")))
            state.SkipWithError("mesh refused");
        benchmark::DoNotOptimize(data.m_poFaces);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadModelsSetFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseXmlOnly(benchmark::State &state)
{
    const std::string &text = largeFile().m_sText;
    for (auto _ : state) {
        TiXmlDocument document;
        LoadBuffer(document, text.c_str(), 0);
        benchmark::DoNotOptimize(document.FirstChild());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseXmlOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadMeshElementOnly(benchmark::State &state)
{
    const std::string &text = largeFile().m_sText;
    TiXmlDocument document;
    LoadBuffer(document, text.c_str(), 0);
    const TiXmlElement *mesh = document.FirstChildElement("meshes")->FirstChildElement("mesh");
    for (auto _ : state) {
        MDL_MeshData data;
        data.loadFromXML(mesh);
        benchmark::DoNotOptimize(data.m_poFaces);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadMeshElementOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The positions' hex text (24 MB) decoded to doubles.
void BM_HexDecodePositions(benchmark::State &state)
{
    const std::string &hex = largeFile().m_sPositions;
    const int values = static_cast<int>(hex.size() / 8);
    std::vector<double> out(static_cast<size_t>(values));
    for (auto _ : state) {
        UTIL_hexToDoubles(hex.c_str(), 4, values, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(hex.size()));
}
BENCHMARK(BM_HexDecodePositions)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for the same bytes: one plain pass that touches each of them.
void BM_PlainLoopOverPositions(benchmark::State &state)
{
    const std::string &hex = largeFile().m_sPositions;
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const char *p = hex.c_str(); *p != '\0'; p++)
            sum += static_cast<unsigned char>(*p);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(hex.size()));
}
BENCHMARK(BM_PlainLoopOverPositions)->Unit(benchmark::kMillisecond)->UseRealTime();

// Terrains of 20,000, 80,000 and 329,672 triangles (101, 201 and 407 vertices
// a side).
void BM_ComputeNeighbours(benchmark::State &state)
{
    const int side = static_cast<int>(state.range(0));
    MDL_MeshData data;
    makeTerrain(data, side, side);
    for (auto _ : state) {
        data.computeNeighbours();
        benchmark::DoNotOptimize(data.m_poFaces);
    }
    state.SetComplexityN(data.m_iNumTriangles);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * data.m_iNumTriangles);
    state.counters["triangles"] = data.m_iNumTriangles;
}
BENCHMARK(BM_ComputeNeighbours)->Arg(101)->Arg(201)->Arg(407)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// The terrain of 999,698 triangles (708 vertices a side) and 1,000 rays
// from above it to points below it, made once for the pick benchmarks.
struct PickScene {
    MDL_MeshData m_oData;
    std::vector<MTH_Vector3D> m_aoFrom, m_aoTo;

    PickScene()
    {
        makeTerrain(m_oData, 708, 708);
        uint32_t seed = 12345;
        auto next = [&seed]() {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) / static_cast<double>(1u << 24);
        };
        const double extent = 0.5 * 707;
        for (int i = 0; i < 1000; i++) {
            m_aoFrom.emplace_back(next() * extent, next() * extent, 10);
            m_aoTo.emplace_back(next() * extent, next() * extent, -10);
        }
    }
    static PickScene &get()
    {
        static PickScene scene;
        return scene;
    }
};

// 1,000 picks through the mesh's pick tree (built before timing starts),
// beside the baseline below that tests every triangle of the same mesh for
// the same rays; both find the same triangles (the same triangle_sum). The
// time of 1,000 picks in milliseconds is the time of one in microseconds.
template <bool EVERY_TRIANGLE> void pick1000Rays(benchmark::State &state)
{
    PickScene &scene = PickScene::get();
    MDL_Mesh mesh;
    mesh.setMeshData(&scene.m_oData);
    scene.m_oData.getPickTree();
    int hits = 0;
    int64_t triangleSum = 0;
    for (auto _ : state) {
        hits = 0;
        triangleSum = 0;
        for (int i = 0; i < 1000; i++) {
            double t = 1.0;
            int triangle = -1;
            bool hit = EVERY_TRIANGLE ? mesh.pickEveryTriangle(scene.m_aoFrom[i], scene.m_aoTo[i], t, triangle)
                                      : mesh.pick(scene.m_aoFrom[i], scene.m_aoTo[i], t, triangle);
            hits += hit;
            triangleSum += triangle;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1000);
    state.counters["hits"] = hits;
    state.counters["triangle_sum"] = static_cast<double>(triangleSum);
    state.counters["triangles"] = scene.m_oData.m_iNumTriangles;
}

void BM_Pick1000Rays(benchmark::State &state)
{
    pick1000Rays<false>(state);
}
BENCHMARK(BM_Pick1000Rays)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Pick1000RaysEveryTriangle(benchmark::State &state)
{
    pick1000Rays<true>(state);
}
BENCHMARK(BM_Pick1000RaysEveryTriangle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Building the pick tree of the same terrain.
void BM_BuildPickTree(benchmark::State &state)
{
    PickScene &scene = PickScene::get();
    MDL_PickTree tree;
    for (auto _ : state) {
        tree.build(scene.m_oData.m_poPositions, scene.m_oData.m_iNumVertices, scene.m_oData.m_puiTriangles,
                   scene.m_oData.m_iNumTriangles);
        benchmark::DoNotOptimize(tree.getNodeCount());
    }
    state.counters["nodes"] = tree.getNodeCount();
    state.counters["triangles"] = scene.m_oData.m_iNumTriangles;
}
BENCHMARK(BM_BuildPickTree)->Unit(benchmark::kMillisecond)->UseRealTime();

// Refitting it after the positions moved (what a vertex edit or a skin
// deformation costs the next pick).
void BM_RefitPickTree(benchmark::State &state)
{
    PickScene &scene = PickScene::get();
    MDL_PickTree tree;
    tree.build(scene.m_oData.m_poPositions, scene.m_oData.m_iNumVertices, scene.m_oData.m_puiTriangles,
               scene.m_oData.m_iNumTriangles);
    for (auto _ : state) {
        tree.refit(scene.m_oData.m_poPositions, scene.m_oData.m_iNumVertices, scene.m_oData.m_puiTriangles);
        benchmark::DoNotOptimize(tree.getNodeCount());
    }
}
BENCHMARK(BM_RefitPickTree)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
