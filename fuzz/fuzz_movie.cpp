// Opens arbitrary bytes as a movie from memory (an exact-size copy, so any
// read past the data is caught), plays a few frames, seeks and drains its
// audio, and checks what any input must leave: no pictures with a duration of
// 0, or a picture within the size bounds with a texture of its size, finite
// times, and audio channels of one length with finite values.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_Log.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Texture.h"

static void quiet(const char *, void *) {}

// Below the player's bound, so that one run stays well inside the fuzzer's
// memory limit: a coded frame of at most 1024 x 1024.
static const int FUZZ_MAX_PIXELS = 1 << 20;

static void check(MDL_Stream &movie)
{
    MDL_Texture *texture = movie.getTexture();
    if (texture == nullptr || !std::isfinite(movie.getTime()))
        abort();
    double duration = movie.getDuration();
    if (!std::isfinite(duration) || duration < 0.0)
        abort();
    if (!movie.hasVideo()) {
        if (duration != 0.0 || texture->m_iWidth != 0 || texture->m_iHeight != 0 || movie.hasAudio())
            abort();
    } else {
        int width = movie.getWidth();
        int height = movie.getHeight();
        if (width < 1 || height < 1 || static_cast<long long>(width) * height > FUZZ_MAX_PIXELS)
            abort();
        if (texture->m_iWidth != width || texture->m_iHeight != height || texture->m_pucData == nullptr ||
            texture->m_iSize != static_cast<uint32_t>(width * height * 3))
            abort();
        if (!(movie.getFrameRate() > 0.0) || movie.getCurrentFrame() < -1 || movie.getFrameCount() < 0)
            abort();
    }
    MDL_Sample *audio = movie.getSample();
    int frames = audio->getFrameCount();
    for (int c = 0; c < audio->getChannelCount(); c++) {
        if (audio->m_oChannels[c]->m_iCount != frames)
            abort();
        const float *values = audio->getChannelData(c);
        for (int i = 0; i < frames; i++)
            if (!std::isfinite(values[i]))
                abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UTIL_setLogSink(quiet, nullptr);
    if (size > (1u << 20))
        return 0;
    unsigned char *copy = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    if (size > 0)
        memcpy(copy, data, size);
    {
        MDL_Stream movie("fuzz.ogv", copy, static_cast<int>(size), FUZZ_MAX_PIXELS);
        check(movie);
        MDL_Sound sound;
        sound.setSample(movie.getSample());
        for (int i = 0; i < 6; i++) {
            movie.advance(0.1);
            check(movie);
            for (int k = 0; k < 8192; k += 509)
                if (!std::isfinite(sound.getValue(k)))
                    abort();
            movie.consumeMixedAudio(4096, 44100);
        }
        movie.seek(0.5);
        check(movie);
        movie.advance(0.25);
        movie.seek(1e9);
        movie.advance(0.25);
        check(movie);
        movie.pause();
        movie.advance(0.1);
        movie.play();
        movie.seek(0.0);
        check(movie);
    }
    free(copy);
    return 0;
}
