// Feeds arbitrary bytes to the sample decoder as an Ogg Vorbis document
// member, and checks what any input must leave: an empty sample, or a rate
// and channel count in range with channels of one length and finite values.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_Log.h"
#include "model/MDL_Sample.h"

static void quiet(const char *, void *) {}

// When the seekable open of libvorbisfile 1.3.7 fails in its scan of the
// links of a malformed stream, it loses what it had read for a link (its
// header state, a serial-number list). Nothing outside the libraries holds
// those blocks, so only leaks from the libraries are let through here; with
// fast unwinding a stack may end in libvorbis, which only vorbisfile calls.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libvorbisfile.so\nleak:libvorbis.so\n";
}

// Below the player's bound, so that one run stays well inside the fuzzer's
// memory limit: 32 MiB of floats.
static const int FUZZ_MAX_VALUES = 1 << 23;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UTIL_setLogSink(quiet, nullptr);
    if (size > (1u << 20))
        return 0;
    MDL_Sample sample;
    sample.decode(data, static_cast<int>(size), FUZZ_MAX_VALUES);

    if (!sample.isValid()) {
        if (sample.getChannelCount() != 0 || sample.m_iSampleRate != 0)
            abort();
        return 0;
    }
    int channels = sample.getChannelCount();
    int frames = sample.getFrameCount();
    if (sample.m_iSampleRate < 1 || sample.m_iSampleRate > MDL_Sample::MAX_RATE || channels > 255)
        abort();
    if (static_cast<long long>(frames) * channels > FUZZ_MAX_VALUES)
        abort();
    for (int c = 0; c < channels; c++) {
        if (sample.m_oChannels[c]->m_iCount != frames)
            abort();
        const float *values = sample.getChannelData(c);
        for (int i = 0; i < frames; i++)
            if (!std::isfinite(values[i]))
                abort();
    }
    return 0;
}
