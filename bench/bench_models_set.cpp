// Loading models sets of 1,000 and 10,000 objects. Read the ratios: the
// load beside the bare XML parse of the same text, and 10,000 objects beside
// 1,000 (about 10 when the load is linear; name links go through indexes
// built once per load).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <tinyxml.h>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_ModelsSet.h"

namespace {

void quiet(const char *, void *) {}

std::string hexFloats(const float *values, int count)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < count; i++) {
        unsigned char b[4];
        memcpy(b, &values[i], 4);
        for (unsigned char c : b) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string hexInts(const int *values, int count)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < count; i++)
        for (int k = 0; k < 4; k++) {
            unsigned char c = static_cast<unsigned char>(values[i] >> (8 * k));
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    return out;
}

// A set shaped like an exported scene: one mesh data, material and vertex
// group per 20 objects, one texture per 40; objects in groups of ten under a
// root (meshes, lamps, cameras), and every fifth group a skeleton: a chain
// of bones with an animated mesh bound to them. Every record names what it
// links to, so that every link is a name lookup.
std::string setText(int objects)
{
    const int meshes = objects / 20, textures = objects / 40;
    std::string t = "<textures>\n";
    for (int i = 0; i < textures; i++)
        t += "<texture name=\"tex" + std::to_string(i) + "\" size=\"8\">89504e470d0a1a0a</texture>\n";
    t += "</textures>\n<materials>\n";
    for (int i = 0; i < meshes; i++)
        t += "<material name=\"mat" + std::to_string(i) + "\"><diffuse>1 0.5 0.25</diffuse><texture>tex" +
             std::to_string(i % (textures > 0 ? textures : 1)) + "</texture></material>\n";
    t += "</materials>\n<meshes>\n";
    const float positions[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    const float normals[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const int triangles[6] = {0, 1, 2, 2, 1, 3};
    const std::string p = hexFloats(positions, 12), n = hexFloats(normals, 12), tr = hexInts(triangles, 6);
    for (int i = 0; i < meshes; i++)
        t += "<mesh name=\"mesh" + std::to_string(i) + "\"><vertices count=\"4\" size=\"4\">" + p +
             "</vertices><normals count=\"4\" size=\"4\">" + n + "</normals><triangles count=\"2\" size=\"4\">" + tr +
             "</triangles></mesh>\n";
    t += "</meshes>\n<animated_meshes>\n";
    const int indices[4] = {0, 1, 2, 3};
    const float ones[4] = {1, 1, 1, 1};
    const std::string vi = hexInts(indices, 4), w = hexFloats(ones, 4);
    for (int i = 0; i < meshes; i++)
        t += "<animated_mesh name=\"group" + std::to_string(i) + "\"><vertices count=\"4\" size=\"4\">" + vi +
             "</vertices><weights count=\"4\" size=\"4\">" + w + "</weights></animated_mesh>\n";
    t += "</animated_meshes>\n<objects>\n";
    const char *matrix = "<matrix>1 0 0 0 0 1 0 0 0 0 1 0 0.5 0 0 1</matrix>";
    for (int i = 0; i < objects; i++) {
        const int group = i / 10, k = i % 10;
        const std::string name = "object" + std::to_string(i);
        const std::string root = "object" + std::to_string(group * 10);
        const std::string links = "<mesh>mesh" + std::to_string(i % meshes) + "</mesh><material>mat" +
                                  std::to_string((i * 7) % meshes) + "</material>";
        if (k == 0) {
            t += "<object type=\"None\" name=\"" + name + "\">" + matrix + "</object>\n";
        } else if (group % 5 == 4) {
            // A skeleton: bones 1..8 in a chain, the skin last.
            if (k < 9) {
                const std::string parent = k == 1 ? root : "object" + std::to_string(i - 1);
                t += "<object type=\"Bone\" name=\"" + name + "\">" + matrix +
                     "<original_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0.5 0 1</original_matrix><parent>" + parent +
                     "</parent></object>\n";
            } else {
                t += "<object type=\"AnimatedMesh\" name=\"" + name + "\"><parent>" + root + "</parent>" + links +
                     "<animated_meshes><animated_mesh>group" + std::to_string(i % meshes) +
                     "</animated_mesh><bone>object" + std::to_string(i - 1) + "</bone></animated_meshes></object>\n";
            }
        } else {
            const char *type = k == 1 ? "Lamp" : (k == 2 ? "Camera" : "Mesh");
            t += "<object type=\"" + std::string(type) + "\" name=\"" + name + "\">" + matrix + "<parent>" + root +
                 "</parent>" + (k > 2 ? links : "") + "</object>\n";
        }
    }
    return t + "</objects>\n";
}

void BM_ParseOnly(benchmark::State &state)
{
    const std::string text = setText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TiXmlDocument document;
        benchmark::DoNotOptimize(LoadBuffer(document, text.c_str(), TIXML_ENCODING_LEGACY));
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_LoadModelsSet(benchmark::State &state)
{
    UTIL_setLogSink(quiet, nullptr);
    const std::string text = setText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MDL_ModelsSet set;
        set.setName("bench.xml");
        if (!set.load(text.c_str()) || set.m_oObjects.m_iCount != state.range(0))
            state.SkipWithError("the set did not load");
    }
    state.SetComplexityN(state.range(0));
    UTIL_setLogSink(nullptr, nullptr);
}

// The nesting guard alone, which reads the text once before the parse.
void BM_NestingGuard(benchmark::State &state)
{
    const std::string text = setText(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(MDL_ModelsSet::isNestingWithin(text.c_str(), MDL_ModelsSet::MAX_NESTING));
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_ParseOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_LoadModelsSet)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_NestingGuard)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

namespace {

// The worst shape for the tree links: one chain of objects, each the parent
// of the one before it in the file, so each link moves the whole chain
// built so far.
std::string chainText(int objects)
{
    std::string t = "<objects>\n";
    for (int i = 0; i < objects; i++)
        t += "<object type=\"None\" name=\"o" + std::to_string(i) + "\"><parent>o" + std::to_string(i + 1) +
             "</parent></object>\n";
    return t + "</objects>\n";
}

void BM_LoadChain(benchmark::State &state)
{
    const std::string text = chainText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MDL_ModelsSet set;
        set.load(text.c_str());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_LoadChain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
