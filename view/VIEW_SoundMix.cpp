// The software mixer that every sound output shares.
#include <cmath>
#include <cstring>

#include "foundation/MTH_Matrix3x3.h"
#include "model/MDL_Mike.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Viewport.h"
#include "view/VIEW_Sound.h"

// Distance attenuation per squared scene unit (the single-precision 0.1).
static const double ATTENUATION = static_cast<double>(0.1f);

VIEW_Sound::~VIEW_Sound() {}

void VIEW_Sound::elapse(double) {}

// x kept within 0 .. 1; NaN gives 0.
static float unitRange(float x)
{
    if (!(x > 0.0f))
        return 0.0f;
    return x > 1.0f ? 1.0f : x;
}

void VIEW_Sound::gains(MDL_Mike &mike, MDL_Sound &sound, float &left, float &right)
{
    MTH_Vector3D d = sound.getGlobalPosition() - mike.getGlobalPosition();
    double q = d.lengthSquared();
    double a = 1.0 + ATTENUATION * q;
    double length = std::sqrt(q);
    MTH_Vector3D u = length > 0 ? d * (1.0 / length) : d;
    double f = u.dot(mike.getGlobalBasis().getRow(0)) + 1.0;
    float g = static_cast<float>(mike.m_fGain / a);
    double volume = sound.m_fVolume;
    right = static_cast<float>(unitRange(static_cast<float>(f * 0.5) * g) * volume);
    left = static_cast<float>(unitRange(static_cast<float>((2.0 - f) * 0.5) * g) * volume);
    // A NaN or infinite volume, gain or position hears nothing rather than
    // poisoning the whole mix.
    if (!std::isfinite(left) || !std::isfinite(right))
        left = right = 0.0f;
}

// A mixed value scaled to 16 bits: clamped to the range, else truncated
// towards zero; NaN gives 0.
static int16_t toSample(float value)
{
    float scaled = value * 32767.0f;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    if (!(scaled == scaled))
        return 0;
    return static_cast<int16_t>(scaled);
}

// Adds the chunk of one sound, scaled by its two gains, to both
// accumulators. The frames the sound gives for the chunk's output frames
// s .. s + n - 1 are s + k at the output's rate, else (s x rate + k x rate)
// / outputRate (the nearest lower frame, in 64 bits).
static void accumulate(MDL_Sound &sound, int64_t s, int n, int outputRate, float leftGain, float rightGain, float *left,
                       float *right)
{
    float values[VIEW_Sound::CHUNK_FRAMES];
    int64_t rate = sound.m_poSample->m_iSampleRate;
    if (rate == outputRate) {
        sound.getValues(s, n, values);
    } else {
        int64_t frames[VIEW_Sound::CHUNK_FRAMES];
        for (int k = 0; k < n; k++)
            frames[k] = (s * rate + k * rate) / outputRate;
        sound.gatherValues(frames, n, values);
    }
    for (int k = 0; k < n; k++) {
        right[k] += values[k] * rightGain;
        left[k] += values[k] * leftGain;
    }
}

void VIEW_Sound::mix(const UTIL_DynArray<MDL_Viewport *, 128> &viewports, int frameCount, int startFrame, int16_t *left,
                     int leftStride, int16_t *right, int rightStride)
{
    if (frameCount < 1)
        return;
    int outputRate = getSampleRate();
    float rightMix[CHUNK_FRAMES];
    float leftMix[CHUNK_FRAMES];
    int64_t s = startFrame;
    int remaining = frameCount;
    while (remaining > 0) {
        int n = remaining < CHUNK_FRAMES ? remaining : CHUNK_FRAMES;
        memset(rightMix, 0, sizeof(float) * static_cast<size_t>(n));
        memset(leftMix, 0, sizeof(float) * static_cast<size_t>(n));
        for (int v = 0; v < viewports.m_iCount; v++) {
            MDL_Viewport *viewport = viewports[v];
            MDL_Mike *mike = viewport != nullptr ? viewport->m_poMike : nullptr;
            if (mike == nullptr || !mike->m_bOn || mike->getScene() == nullptr)
                continue;
            const UTIL_DynArray<MDL_Object *> &sounds = mike->getScene()->m_oSounds;
            for (int i = 0; i < sounds.m_iCount; i++) {
                MDL_Sound *sound = static_cast<MDL_Sound *>(sounds[i]);
                // Without a sample, or one without a rate, a sound is silent.
                if (!(sound->m_fVolume > 0) || sound->m_poSample == nullptr || sound->m_poSample->m_iSampleRate < 1)
                    continue;
                float leftGain, rightGain;
                gains(*mike, *sound, leftGain, rightGain);
                if (leftGain == 0.0f && rightGain == 0.0f)
                    continue;
                accumulate(*sound, s, n, outputRate, leftGain, rightGain, leftMix, rightMix);
            }
        }
        for (int k = 0; k < n; k++) {
            left[static_cast<int64_t>(k) * leftStride] = toSample(leftMix[k]);
            right[static_cast<int64_t>(k) * rightStride] = toSample(rightMix[k]);
        }
        left += static_cast<int64_t>(n) * leftStride;
        right += static_cast<int64_t>(n) * rightStride;
        s += n;
        remaining -= n;
    }
}
