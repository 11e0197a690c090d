// Media decoding speed. Read the ratios, not the milliseconds: each group
// has its baseline in the same run.
//
// Samples: a 60 s stereo 44100 Hz Ogg Vorbis stream, encoded here at the
// first use, decoded by MDL_Sample into its channel arrays, beside
// vorbisfile alone (the same reads without keeping the frames) and, when
// vorbis-tools is installed, beside `oggdec` decoding the same file to
// /dev/null (a separate process, so all rows are timed in real time).
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include "model/MDL_Sample.h"
#include "model/MDL_VorbisMemory.h"

extern char **environ;

namespace {

const int LONG_RATE = 44100;
const int LONG_SECONDS = 60;
const int LONG_FRAMES = LONG_RATE * LONG_SECONDS;

// The player links the decoder only; the encoder library (installed with
// libvorbis-dev) is opened here, for this one function.
typedef int (*EncodeInitVbr)(vorbis_info *, long, long, float);

void appendPage(std::vector<unsigned char> &out, const ogg_page &page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// Two slowly beating tones per channel with a little noise, so that the
// encoder has something like music to code. Empty when the encoder
// library cannot be opened.
std::vector<unsigned char> encodeLongStereo()
{
    std::vector<unsigned char> out;
    void *library = dlopen("libvorbisenc.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return out;
    EncodeInitVbr encodeInit = reinterpret_cast<EncodeInitVbr>(dlsym(library, "vorbis_encode_init_vbr"));
    vorbis_info info;
    vorbis_info_init(&info);
    if (encodeInit == nullptr || encodeInit(&info, 2, LONG_RATE, 0.4f) != 0) {
        vorbis_info_clear(&info);
        dlclose(library);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 60);

    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page))
        appendPage(out, page);

    uint32_t noise = 12345;
    int written = 0;
    bool ended = false;
    while (!ended) {
        int n = LONG_FRAMES - written < 1024 ? LONG_FRAMES - written : 1024;
        if (n > 0) {
            float **buffer = vorbis_analysis_buffer(&dsp, n);
            for (int i = 0; i < n; i++) {
                double t = double(written + i) / LONG_RATE;
                double beat = 0.5 + 0.5 * std::sin(2 * M_PI * 0.25 * t);
                noise = noise * 1664525u + 1013904223u;
                double hiss = (double(noise >> 8) / double(1 << 24) - 0.5) * 0.02;
                buffer[0][i] =
                    float(0.3 * std::sin(2 * M_PI * 440 * t) + 0.2 * beat * std::sin(2 * M_PI * 554.37 * t) + hiss);
                buffer[1][i] =
                    float(0.3 * std::sin(2 * M_PI * 330 * t) + 0.2 * beat * std::sin(2 * M_PI * 659.26 * t) - hiss);
            }
            vorbis_analysis_wrote(&dsp, n);
            written += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    appendPage(out, page);
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    dlclose(library);
    return out;
}

const std::vector<unsigned char> &longStereo()
{
    static const std::vector<unsigned char> bytes = encodeLongStereo();
    return bytes;
}

bool haveLongStereo(benchmark::State &state)
{
    if (longStereo().empty()) {
        state.SkipWithError("libvorbisenc.so.2 could not be opened to make the 60 s stream");
        return false;
    }
    return true;
}

void reportAudio(benchmark::State &state)
{
    state.SetItemsProcessed(int64_t(state.iterations()) * LONG_FRAMES);
    state.counters["bytes"] = double(longStereo().size());
}

void BM_SampleDecode60sStereo(benchmark::State &state)
{
    if (!haveLongStereo(state))
        return;
    const std::vector<unsigned char> &bytes = longStereo();
    for (auto _ : state) {
        MDL_Sample sample;
        bool complete = sample.decode(bytes.data(), int(bytes.size()));
        if (!complete || sample.getFrameCount() != LONG_FRAMES || sample.getChannelCount() != 2) {
            state.SkipWithError("the 60 s stream did not decode whole");
            break;
        }
        benchmark::DoNotOptimize(sample.getChannelData(1));
    }
    reportAudio(state);
}
BENCHMARK(BM_SampleDecode60sStereo)->Unit(benchmark::kMillisecond)->UseRealTime();

// vorbisfile's own decoding of the same bytes, the frames dropped: what
// MDL_Sample adds is the copy into its growing channel arrays.
void BM_VorbisfileOnly60sStereo(benchmark::State &state)
{
    if (!haveLongStereo(state))
        return;
    const std::vector<unsigned char> &bytes = longStereo();
    for (auto _ : state) {
        MDL_VorbisMemory memory = {bytes.data(), 0, long(bytes.size())};
        OggVorbis_File file;
        if (ov_open_callbacks(&memory, &file, nullptr, 0, MDL_oVorbisMemoryCallbacks()) != 0) {
            state.SkipWithError("vorbisfile refused the 60 s stream");
            break;
        }
        long frames = 0;
        for (;;) {
            float **pcm = nullptr;
            int link = 0;
            long got = ov_read_float(&file, &pcm, 0x7fffffff, &link);
            if (got <= 0)
                break;
            benchmark::DoNotOptimize(pcm[1][got - 1]);
            frames += got;
        }
        ov_clear(&file);
        benchmark::DoNotOptimize(frames);
    }
    reportAudio(state);
}
BENCHMARK(BM_VorbisfileOnly60sStereo)->Unit(benchmark::kMillisecond)->UseRealTime();

// The path of an installed oggdec, or empty.
std::string findOggdec()
{
    const char *path = getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/oggdec";
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// oggdec (vorbis-tools, not a project dependency) decoding the same file to
// raw PCM on /dev/null; includes starting the process.
void BM_OggdecProcess60sStereo(benchmark::State &state)
{
    std::string oggdec = findOggdec();
    if (oggdec.empty()) {
        state.SkipWithError("oggdec is not installed (vorbis-tools is not a project dependency): row skipped");
        return;
    }
    if (!haveLongStereo(state))
        return;
    char path[] = "/tmp/vekta-bench-XXXXXX.ogg";
    int fd = mkstemps(path, 4);
    const std::vector<unsigned char> &bytes = longStereo();
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
        if (fd >= 0) {
            close(fd);
            unlink(path);
        }
        state.SkipWithError("could not write the stream to a temporary file");
        return;
    }
    close(fd);
    for (auto _ : state) {
        char *argv[] = {const_cast<char *>(oggdec.c_str()),
                        const_cast<char *>("-Q"),
                        const_cast<char *>("-R"),
                        const_cast<char *>("-o"),
                        const_cast<char *>("/dev/null"),
                        path,
                        nullptr};
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ) != 0 || waitpid(child, &status, 0) < 0 ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("oggdec failed");
            break;
        }
    }
    unlink(path);
    reportAudio(state);
}
BENCHMARK(BM_OggdecProcess60sStereo)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
