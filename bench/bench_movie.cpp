// Movie playing speed: 300 frames of a 640 x 480 Theora movie played through
// MDL_Stream (page reading, decoding, conversion to RGB into the frame
// texture) at 30 frames a second of movie time. Read the ratios, not the
// milliseconds: the baselines run in the same process.
//
// Movies:
// - "flat": the committed tests/data/movies/flat-640x480.ogv, one colour per
//   picture, changing every second picture (the encoder drops the repeats,
//   so 150 pictures are decoded and converted);
// - "textured": 301 pictures of moving gradients and noise, every one coded,
//   encoded here at the first use with libtheoraenc (installed with
//   libtheora-dev; opened at run time, since the player links only the
//   decoder). Without it that row is skipped.
// Baselines: libtheora alone decoding the textured movie's packets (no
// conversion, no stream layer), and the YCbCr to RGB conversion alone, 300
// times.
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <theora/theoraenc.h>

#include "foundation/UTIL_Log.h"
#include "model/MDL_Stream.h"
#include "model/MDL_StreamVideo.h"
#include "model/MDL_Texture.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const int WIDTH = 640;
const int HEIGHT = 480;
const int FRAMES = 300;
// A little over a thirtieth, so that rounding never holds a picture back.
const double STEP = 1.0 / 30.0 + 1e-9;

std::string sourceDir()
{
    std::string file = __FILE__;
    size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string("..") : file.substr(0, slash) + "/..";
}

const Bytes &flatMovie()
{
    static Bytes bytes = [] {
        std::ifstream in(sourceDir() + "/tests/data/movies/flat-640x480.ogv", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

void appendPage(Bytes &out, const ogg_page &page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// The encoder functions, from libtheoraenc opened at run time.
struct Encoder {
    th_enc_ctx *(*alloc)(const th_info *);
    int (*flushHeader)(th_enc_ctx *, th_comment *, ogg_packet *);
    int (*ycbcrIn)(th_enc_ctx *, th_ycbcr_buffer);
    int (*packetOut)(th_enc_ctx *, int, ogg_packet *);
    void (*free)(th_enc_ctx *);
};

bool openEncoder(Encoder *e)
{
    void *library = dlopen("libtheoraenc.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return false;
    e->alloc = reinterpret_cast<th_enc_ctx *(*)(const th_info *)>(dlsym(library, "th_encode_alloc"));
    e->flushHeader =
        reinterpret_cast<int (*)(th_enc_ctx *, th_comment *, ogg_packet *)>(dlsym(library, "th_encode_flushheader"));
    e->ycbcrIn = reinterpret_cast<int (*)(th_enc_ctx *, th_ycbcr_buffer)>(dlsym(library, "th_encode_ycbcr_in"));
    e->packetOut = reinterpret_cast<int (*)(th_enc_ctx *, int, ogg_packet *)>(dlsym(library, "th_encode_packetout"));
    e->free = reinterpret_cast<void (*)(th_enc_ctx *)>(dlsym(library, "th_encode_free"));
    return e->alloc != nullptr && e->flushHeader != nullptr && e->ycbcrIn != nullptr && e->packetOut != nullptr &&
           e->free != nullptr;
}

// 301 pictures of 4:2:0 video: diagonal luma gradients that move a few pixels
// a picture, slowly turning chroma, and a little noise. Empty when the
// encoder cannot be opened.
Bytes encodeTexturedMovie()
{
    Bytes out;
    Encoder encoder;
    if (!openEncoder(&encoder))
        return out;
    th_info info;
    th_info_init(&info);
    info.frame_width = WIDTH;
    info.frame_height = HEIGHT;
    info.pic_width = WIDTH;
    info.pic_height = HEIGHT;
    info.pic_x = 0;
    info.pic_y = 0;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = TH_PF_420;
    info.target_bitrate = 0;
    info.quality = 40;
    info.keyframe_granule_shift = 6;
    info.fps_numerator = 30;
    info.fps_denominator = 1;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    th_enc_ctx *context = encoder.alloc(&info);
    th_info_clear(&info);
    if (context == nullptr)
        return out;

    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    ogg_page page;
    bool first = true;
    while (encoder.flushHeader(context, &comment, &packet) > 0) {
        ogg_stream_packetin(&stream, &packet);
        // The identification header has a page of its own.
        if (first && ogg_stream_flush(&stream, &page) > 0)
            appendPage(out, page);
        first = false;
    }
    while (ogg_stream_flush(&stream, &page) > 0)
        appendPage(out, page);
    th_comment_clear(&comment);

    std::vector<unsigned char> y(static_cast<size_t>(WIDTH) * HEIGHT);
    std::vector<unsigned char> cb(static_cast<size_t>(WIDTH / 2) * (HEIGHT / 2));
    std::vector<unsigned char> cr(cb.size());
    uint32_t noise = 1;
    for (int f = 0; f <= FRAMES; f++) {
        for (int row = 0; row < HEIGHT; row++)
            for (int x = 0; x < WIDTH; x++) {
                noise = noise * 1664525u + 1013904223u;
                y[static_cast<size_t>(row) * WIDTH + x] =
                    static_cast<unsigned char>(40 + ((x + 2 * row + 3 * f) % 160) + (noise >> 29));
            }
        for (int row = 0; row < HEIGHT / 2; row++)
            for (int x = 0; x < WIDTH / 2; x++) {
                cb[static_cast<size_t>(row) * (WIDTH / 2) + x] = static_cast<unsigned char>(90 + (x + f) % 80);
                cr[static_cast<size_t>(row) * (WIDTH / 2) + x] = static_cast<unsigned char>(90 + (row + f) % 80);
            }
        th_ycbcr_buffer buffer;
        buffer[0] = {WIDTH, HEIGHT, WIDTH, y.data()};
        buffer[1] = {WIDTH / 2, HEIGHT / 2, WIDTH / 2, cb.data()};
        buffer[2] = {WIDTH / 2, HEIGHT / 2, WIDTH / 2, cr.data()};
        if (encoder.ycbcrIn(context, buffer) != 0)
            break;
        while (encoder.packetOut(context, f == FRAMES, &packet) > 0)
            ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) > 0)
            appendPage(out, page);
    }
    while (ogg_stream_flush(&stream, &page) > 0)
        appendPage(out, page);
    ogg_stream_clear(&stream);
    encoder.free(context);
    return out;
}

const Bytes &texturedMovie()
{
    static Bytes bytes = encodeTexturedMovie();
    return bytes;
}

void quiet(const char *, void *) {}

// Plays FRAMES frames from the start, counting the pictures written into the
// texture.
void playMovie(benchmark::State &state, const Bytes &bytes)
{
    UTIL_setLogSink(quiet, nullptr);
    if (bytes.empty()) {
        state.SkipWithError("movie not available");
        return;
    }
    MDL_Stream movie("bench.ogv", bytes.data(), static_cast<int>(bytes.size()));
    if (!movie.hasVideo()) {
        state.SkipWithError("movie does not open");
        return;
    }
    int64_t pictures = 0;
    for (auto _ : state) {
        movie.seek(0.0);
        for (int i = 0; i < FRAMES; i++) {
            movie.advance(STEP);
            MDL_Texture *texture = movie.getTexture();
            if (texture->m_bFrameChanged) {
                pictures++;
                texture->m_bFrameChanged = false;
            }
        }
        benchmark::DoNotOptimize(movie.getTexture()->m_pucData[0]);
    }
    state.counters["pictures"] = benchmark::Counter(static_cast<double>(pictures) / state.iterations());
    UTIL_setLogSink(nullptr, nullptr);
}

void BM_PlayFlatMovie(benchmark::State &state)
{
    playMovie(state, flatMovie());
}
BENCHMARK(BM_PlayFlatMovie)->Unit(benchmark::kMillisecond);

void BM_PlayTexturedMovie(benchmark::State &state)
{
    playMovie(state, texturedMovie());
}
BENCHMARK(BM_PlayTexturedMovie)->Unit(benchmark::kMillisecond);

// Baseline: libtheora decoding the textured movie's 300 picture packets,
// taken out of the pages beforehand.
void BM_TheoraDecodeOnly(benchmark::State &state)
{
    const Bytes &bytes = texturedMovie();
    if (bytes.empty()) {
        state.SkipWithError("movie not available");
        return;
    }
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    memcpy(buffer, bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) > 0)
        ogg_stream_pagein(&stream, &page);
    th_info info;
    th_comment comment;
    th_setup_info *setup = nullptr;
    th_info_init(&info);
    th_comment_init(&comment);
    std::vector<ogg_packet> packets;
    ogg_packet packet;
    while (ogg_stream_packetout(&stream, &packet) > 0) {
        if (th_packet_isheader(&packet))
            th_decode_headerin(&info, &comment, &setup, &packet);
        else if (packets.size() < static_cast<size_t>(FRAMES))
            packets.push_back(packet); // points into the stream's buffer
    }
    th_dec_ctx *decoder = th_decode_alloc(&info, setup);
    for (auto _ : state) {
        for (ogg_packet &p : packets)
            th_decode_packetin(decoder, &p, nullptr);
        th_ycbcr_buffer out;
        th_decode_ycbcr_out(decoder, out);
        benchmark::DoNotOptimize(out[0].data[0]);
    }
    state.counters["pictures"] = static_cast<double>(packets.size());
    th_decode_free(decoder);
    th_setup_free(setup);
    th_comment_clear(&comment);
    th_info_clear(&info);
    ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
}
BENCHMARK(BM_TheoraDecodeOnly)->Unit(benchmark::kMillisecond);

// Baseline: the conversion alone, 300 pictures of 640 x 480 4:2:0.
void BM_ConvertOnly(benchmark::State &state)
{
    std::vector<unsigned char> y(static_cast<size_t>(WIDTH) * HEIGHT);
    std::vector<unsigned char> c(static_cast<size_t>(WIDTH / 2) * (HEIGHT / 2));
    for (size_t i = 0; i < y.size(); i++)
        y[i] = static_cast<unsigned char>(i * 7);
    for (size_t i = 0; i < c.size(); i++)
        c[i] = static_cast<unsigned char>(i * 13);
    MDL_YCbCrPlane planes[3] = {{WIDTH, HEIGHT, WIDTH, y.data()},
                                {WIDTH / 2, HEIGHT / 2, WIDTH / 2, c.data()},
                                {WIDTH / 2, HEIGHT / 2, WIDTH / 2, c.data()}};
    std::vector<unsigned char> rgb(static_cast<size_t>(WIDTH) * HEIGHT * 3);
    for (auto _ : state) {
        for (int i = 0; i < FRAMES; i++)
            MDL_bConvertYCbCr(planes, 1, 1, 0, 0, WIDTH, HEIGHT, rgb.data());
        benchmark::DoNotOptimize(rgb[0]);
    }
}
BENCHMARK(BM_ConvertOnly)->Unit(benchmark::kMillisecond);

} // namespace
