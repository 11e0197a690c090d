// Image decoding and polygon triangulation speed. Read the ratios, not the
// milliseconds: each group has its baseline in the same run.
//
// Decoding: a 1024 x 1024 RGB picture (smooth gradients with a little noise),
// encoded here once as PNG and as JPEG (quality 90, 4:2:0), decoded by
// UTIL_Bitmap::decode beside libpng's simplified png_image reader and bare
// libjpeg reading the same bytes into a buffer of their own.
//
// Triangulation: 1,000-point outlines (a star and a noisy circle) cut by
// MTH_triangulatePolygon beside the GLU tessellator producing triangles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <GL/glu.h>
#include <jpeglib.h>
#include <png.h>

#include "foundation/MTH_Triangulate.h"
#include "foundation/UTIL_Bitmap.h"
#include "foundation/UTIL_Log.h"

namespace {

const int SIDE = 1024;

std::vector<unsigned char> picture()
{
    std::vector<unsigned char> rgb(static_cast<size_t>(SIDE) * SIDE * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            seed = seed * 1664525u + 1013904223u;
            int noise = static_cast<int>(seed >> 29) - 4;
            double fx = x / double(SIDE), fy = y / double(SIDE);
            int values[3] = {static_cast<int>(128 + 100 * std::sin(6 * fx + 2 * fy)),
                             static_cast<int>(128 + 100 * std::cos(5 * fy - 3 * fx * fx)),
                             static_cast<int>(255 * fx * fy)};
            for (int k = 0; k < 3; k++) {
                int v = values[k] + noise;
                rgb[(static_cast<size_t>(y) * SIDE + x) * 3 + k] = static_cast<unsigned char>(v < 0     ? 0
                                                                                              : v > 255 ? 255
                                                                                                        : v);
            }
        }
    return rgb;
}

std::vector<unsigned char> encodePng(const std::vector<unsigned char> &rgb)
{
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = SIDE;
    image.height = SIDE;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
    std::vector<unsigned char> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr))
        out.clear();
    out.resize(size);
    return out;
}

std::vector<unsigned char> encodeJpeg(const std::vector<unsigned char> &rgb)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &memory, &size);
    cinfo.image_width = SIDE;
    cinfo.image_height = SIDE;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(&rgb[static_cast<size_t>(cinfo.next_scanline) * SIDE * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> out(memory, memory + size);
    std::free(memory);
    return out;
}

const std::vector<unsigned char> &pngBytes()
{
    static const std::vector<unsigned char> s_aucBytes = encodePng(picture());
    return s_aucBytes;
}

const std::vector<unsigned char> &jpegBytes()
{
    static const std::vector<unsigned char> s_aucBytes = encodeJpeg(picture());
    return s_aucBytes;
}

void reportImage(benchmark::State &state, size_t encoded)
{
    state.SetItemsProcessed(int64_t(state.iterations()) * SIDE * SIDE);
    state.counters["encoded_kB"] = double(encoded) / 1024;
}

void BM_BitmapDecodePng(benchmark::State &state)
{
    const std::vector<unsigned char> &bytes = pngBytes();
    for (auto _ : state) {
        UTIL_Bitmap bitmap;
        if (!bitmap.decode(bytes.data(), bytes.size(), "bench.png"))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bitmap.m_pucData);
    }
    reportImage(state, bytes.size());
}
BENCHMARK(BM_BitmapDecodePng)->Unit(benchmark::kMillisecond);

void BM_LibpngImageDecodePng(benchmark::State &state)
{
    const std::vector<unsigned char> &bytes = pngBytes();
    for (auto _ : state) {
        png_image image;
        std::memset(&image, 0, sizeof(image));
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
            state.SkipWithError("begin failed");
            break;
        }
        image.format = PNG_FORMAT_RGB;
        unsigned char *pixels = static_cast<unsigned char *>(std::malloc(PNG_IMAGE_SIZE(image)));
        if (!png_image_finish_read(&image, nullptr, pixels, 0, nullptr))
            state.SkipWithError("finish failed");
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    reportImage(state, bytes.size());
}
BENCHMARK(BM_LibpngImageDecodePng)->Unit(benchmark::kMillisecond);

void BM_BitmapDecodeJpeg(benchmark::State &state)
{
    const std::vector<unsigned char> &bytes = jpegBytes();
    for (auto _ : state) {
        UTIL_Bitmap bitmap;
        if (!bitmap.decode(bytes.data(), bytes.size(), "bench.jpg"))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bitmap.m_pucData);
    }
    reportImage(state, bytes.size());
}
BENCHMARK(BM_BitmapDecodeJpeg)->Unit(benchmark::kMillisecond);

void BM_LibjpegDecodeJpeg(benchmark::State &state)
{
    const std::vector<unsigned char> &bytes = jpegBytes();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        size_t row = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
        unsigned char *pixels = static_cast<unsigned char *>(std::malloc(row * cinfo.output_height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW pointer = pixels + row * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &pointer, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    reportImage(state, bytes.size());
}
BENCHMARK(BM_LibjpegDecodeJpeg)->Unit(benchmark::kMillisecond);

// 1,000-point outlines, counter-clockwise.
std::vector<MTH_Vector2D> outline(int kind)
{
    std::vector<MTH_Vector2D> out;
    const int n = 1000;
    for (int i = 0; i < n; i++) {
        double angle = 2 * 3.141592653589793 * i / n;
        double r = kind == 0 ? (i % 2 == 0 ? 1.0 : 0.6)
                             : 1 + 0.15 * std::sin(37 * angle) + 0.1 * std::sin(91 * angle + 1) +
                                   0.05 * std::sin(203 * angle + 2);
        out.push_back(MTH_Vector2D(r * std::cos(angle), r * std::sin(angle)));
    }
    return out;
}

void BM_TriangulateEars(benchmark::State &state)
{
    std::vector<MTH_Vector2D> source = outline(static_cast<int>(state.range(0)));
    UTIL_DynArray<MTH_Vector2D> points;
    for (const MTH_Vector2D &p : source)
        points.append(p);
    int triangles = 0;
    for (auto _ : state) {
        UTIL_DynArray<int> out;
        if (!MTH_triangulatePolygon(points, out))
            state.SkipWithError("triangulation failed");
        triangles = out.m_iCount / 3;
        benchmark::DoNotOptimize(out.m_pData);
    }
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_TriangulateEars)->Arg(0)->Arg(1)->ArgName("star0_noisy1")->Unit(benchmark::kMillisecond);

struct TessOutput {
    std::vector<int> m_aiIndices;
};

void GLAPIENTRY tessVertex(void *vertex, void *data)
{
    static_cast<TessOutput *>(data)->m_aiIndices.push_back(static_cast<int>(reinterpret_cast<intptr_t>(vertex)));
}
void GLAPIENTRY tessBegin(GLenum) {}
void GLAPIENTRY tessEnd() {}
// Registering an edge-flag callback makes the tessellator emit separate
// triangles only (no fans or strips), as the ear clipper does.
void GLAPIENTRY tessEdgeFlag(GLboolean) {}

void BM_TriangulateGluTess(benchmark::State &state)
{
    std::vector<MTH_Vector2D> source = outline(static_cast<int>(state.range(0)));
    std::vector<GLdouble> coordinates;
    for (const MTH_Vector2D &p : source) {
        coordinates.push_back(p.m_fX);
        coordinates.push_back(p.m_fY);
        coordinates.push_back(0);
    }
    GLUtesselator *tess = gluNewTess();
    gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(tessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(tessVertex));
    gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(tessEnd));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG, reinterpret_cast<_GLUfuncptr>(tessEdgeFlag));
    gluTessNormal(tess, 0, 0, 1);
    int triangles = 0;
    for (auto _ : state) {
        TessOutput output;
        gluTessBeginPolygon(tess, &output);
        gluTessBeginContour(tess);
        for (size_t i = 0; i < source.size(); i++)
            gluTessVertex(tess, &coordinates[3 * i], reinterpret_cast<void *>(static_cast<intptr_t>(i)));
        gluTessEndContour(tess);
        gluTessEndPolygon(tess);
        triangles = static_cast<int>(output.m_aiIndices.size() / 3);
        benchmark::DoNotOptimize(output.m_aiIndices.data());
    }
    gluDeleteTess(tess);
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_TriangulateGluTess)->Arg(0)->Arg(1)->ArgName("star0_noisy1")->Unit(benchmark::kMillisecond);

} // namespace
