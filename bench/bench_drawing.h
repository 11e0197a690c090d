#pragma once

// What the drawing benchmarks share: one off-screen OpenGL context for the
// program, the frame rate counter, and meshes made on the spot.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "model/MDL_MeshData.h"
#include "view/desktop/VIEW_EglContext.h"

// The program's context of width x height pixels, made current; null (with
// the reason on standard error) where no OpenGL can be had.
inline VIEW_EglContext *BENCH_context(int width, int height)
{
    static VIEW_EglContext *s_poContext = nullptr;
    static bool s_bTried = false;
    if (!s_bTried) {
        s_bTried = true;
        char error[256];
        s_poContext = VIEW_EglContext::create(width, height, error, sizeof(error));
        if (s_poContext == nullptr)
            fprintf(stderr, "no OpenGL: %s\n", error);
    }
    if (s_poContext != nullptr)
        s_poContext->makeCurrent();
    return s_poContext;
}

// The program's context, made current; false, with the benchmark skipped,
// where no OpenGL can be had.
inline bool BENCH_needContext(benchmark::State &state, int width, int height)
{
    if (BENCH_context(width, height) != nullptr)
        return true;
    state.SkipWithError("no OpenGL context");
    return false;
}

// The frames run (one an iteration) as a rate.
inline void BENCH_countFrames(benchmark::State &state)
{
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// A closed sphere of radius r centred at the origin into data: slices
// around the z axis, stacks from pole to pole, 2 x slices x (stacks - 1)
// triangles wound outwards, unit normals, neighbours and face normals
// computed as a models set would.
inline void BENCH_sphere(MDL_MeshData &data, double r, int slices, int stacks)
{
    int rings = stacks - 1, vertices = slices * rings + 2;
    data.m_iNumVertices = data.m_iNumNormals = vertices;
    data.m_poPositions = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(vertices, sizeof(MTH_Vector3D)));
    data.m_poNormals = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(vertices, sizeof(MTH_Vector3D)));
    for (int ring = 0; ring < rings; ring++) {
        double theta = M_PI * (ring + 1) / stacks;
        for (int s = 0; s < slices; s++) {
            double phi = 2 * M_PI * s / slices;
            MTH_Vector3D n(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
            data.m_poNormals[ring * slices + s] = n;
            data.m_poPositions[ring * slices + s] = n * r;
        }
    }
    int north = vertices - 2, south = vertices - 1;
    data.m_poNormals[north] = MTH_Vector3D(0, 0, 1);
    data.m_poPositions[north] = MTH_Vector3D(0, 0, r);
    data.m_poNormals[south] = MTH_Vector3D(0, 0, -1);
    data.m_poPositions[south] = MTH_Vector3D(0, 0, -r);
    data.m_iNumTriangles = 2 * slices * rings;
    data.m_puiTriangles = static_cast<uint32_t *>(MDL_allocateZeroed(3 * data.m_iNumTriangles, sizeof(uint32_t)));
    uint32_t *t = data.m_puiTriangles;
    auto add = [&t](int a, int b, int c) {
        *t++ = static_cast<uint32_t>(a);
        *t++ = static_cast<uint32_t>(b);
        *t++ = static_cast<uint32_t>(c);
    };
    for (int s = 0; s < slices; s++) {
        int next = (s + 1) % slices;
        add(north, s, next);
        for (int ring = 0; ring + 1 < rings; ring++) {
            int a = ring * slices + s, b = ring * slices + next, c = a + slices, d = b + slices;
            add(a, c, d);
            add(a, d, b);
        }
        add(south, (rings - 1) * slices + next, (rings - 1) * slices + s);
    }
    data.m_poFaces = static_cast<MDL_Face *>(MDL_allocateZeroed(data.m_iNumTriangles, sizeof(MDL_Face)));
    data.computeNeighbours();
    data.computeFaceNormals();
    data.computeBoundingBox(data.m_oMin, data.m_oMax);
}

// A grid of columns x rows square cells of side cell, centred at the origin
// in z = 0 facing +z: two triangles per cell, normals +z; with faces
// (neighbours and normals) when asked, as shadow volumes want them.
inline void BENCH_grid(MDL_MeshData &data, int columns, int rows, double cell, bool faces)
{
    int n = columns + 1, vertices = n * (rows + 1);
    data.m_iNumVertices = data.m_iNumNormals = vertices;
    data.m_poPositions = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(vertices, sizeof(MTH_Vector3D)));
    data.m_poNormals = static_cast<MTH_Vector3D *>(MDL_allocateZeroed(vertices, sizeof(MTH_Vector3D)));
    for (int y = 0; y <= rows; y++)
        for (int x = 0; x < n; x++) {
            data.m_poPositions[y * n + x] = MTH_Vector3D(cell * (x - 0.5 * columns), cell * (y - 0.5 * rows), 0);
            data.m_poNormals[y * n + x] = MTH_Vector3D(0, 0, 1);
        }
    data.m_iNumTriangles = 2 * columns * rows;
    data.m_puiTriangles = static_cast<uint32_t *>(MDL_allocateZeroed(3 * data.m_iNumTriangles, sizeof(uint32_t)));
    uint32_t *t = data.m_puiTriangles;
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < columns; x++) {
            uint32_t a = y * n + x, b = a + 1, c = a + n + 1, d = a + n;
            const uint32_t corners[6] = {a, b, c, a, c, d};
            for (uint32_t corner : corners)
                *t++ = corner;
        }
    if (!faces)
        return;
    data.m_poFaces = static_cast<MDL_Face *>(MDL_allocateZeroed(data.m_iNumTriangles, sizeof(MDL_Face)));
    data.computeNeighbours();
    data.computeFaceNormals();
    data.computeBoundingBox(data.m_oMin, data.m_oMax);
}
