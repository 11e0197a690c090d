// The mixer every sound output shares: distance and panning through each
// viewport's microphone, clipping, resampling by index, chunks, and the
// service of three buffers of 4096 frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/MDL_Mike.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Viewport.h"
#include "view/VIEW_PacedSound.h"

namespace {

// An output that keeps every buffer it is handed.
class RecordingSound : public VIEW_PacedSound {
public:
    std::vector<std::vector<int16_t>> m_aaBuffers;

protected:
    void submit(const int16_t *samples, int frames) override
    {
        m_aaBuffers.emplace_back(samples, samples + 2 * frames);
    }
};

// A mono sample of frames values at rate, value(k) for frame k.
std::unique_ptr<MDL_Sample> makeSample(int frames, int rate, float (*value)(int))
{
    std::unique_ptr<MDL_Sample> sample(new MDL_Sample());
    EXPECT_TRUE(sample->setFormat(rate, 1));
    std::vector<float> values(static_cast<size_t>(frames));
    for (int k = 0; k < frames; k++)
        values[static_cast<size_t>(k)] = value(k);
    const float *channels[1] = {values.data()};
    EXPECT_TRUE(sample->appendFrames(channels, frames));
    return sample;
}

float half(int)
{
    return 0.5f;
}

// Small values that tell frames apart: frame k reads (k + 1) / 32768.
float counting(int k)
{
    return static_cast<float>(k + 1) / 32768.0f;
}

// A scene heard through a microphone at the origin by one viewport.
struct Listening {
    MDL_Scene m_oScene;
    MDL_Mike *m_poMike = new MDL_Mike();
    MDL_Viewport m_oViewport{MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75)};
    UTIL_DynArray<MDL_Viewport *, 128> m_oViewports;
    RecordingSound m_oOutput;

    Listening()
    {
        m_oScene.addObject(m_poMike);
        m_oViewport.m_poMike = m_poMike;
        m_oViewports.append(&m_oViewport);
    }

    MDL_Sound *addSound(MDL_Sample *sample, const MTH_Vector3D &position, double volume = 1.0)
    {
        MDL_Sound *sound = new MDL_Sound();
        sound->setSample(sample);
        sound->setVolume(volume);
        sound->editGlobalPosition() = position;
        m_oScene.addObject(sound);
        return sound;
    }

    // frames frames mixed from startFrame, interleaved left, right.
    std::vector<int16_t> mix(int frames, int startFrame = 0)
    {
        std::vector<int16_t> out(static_cast<size_t>(2 * frames), 12345);
        m_oOutput.mix(m_oViewports, frames, startFrame, out.data(), 2, out.data() + 1, 2);
        return out;
    }
};

// What the mixer writes for a value heard at a gain.
int16_t scaled(float value, float gain)
{
    return static_cast<int16_t>(value * gain * 32767.0f);
}

} // namespace

TEST(SoundMix, DistanceAndPanningThroughTheMicrophone)
{
    struct Case {
        MTH_Vector3D position;
        double volume;
        float left, right;
    };
    const Case cases[] = {
        {{0, 0, 0}, 1, 0.5f, 0.5f},           // at the microphone: F = 1
        {{1, 0, 0}, 1, 0.0f, 0.909091f},      // on its positive X axis: right only
        {{-1, 0, 0}, 1, 0.909091f, 0.0f},     // on its negative X axis: left only
        {{0, 1, 0}, 1, 0.454545f, 0.454545f}, // to the side: both, attenuated
        {{2, 0, 0}, 1, 0.0f, 0.714286f},      // farther: 1 / (1 + 0.1 x 4)
        {{0, 0, 0}, 0.5, 0.25f, 0.25f},       // volume scales both
        {{0, 0, 0}, 3, 1.5f, 1.5f},           // volume applies after the gains are kept within 1
        {{0, 0, 1e300}, 1, 0.0f, 0.0f},       // out of hearing
    };
    std::unique_ptr<MDL_Sample> sample = makeSample(10, 44100, half);
    for (const Case &c : cases) {
        Listening l;
        MDL_Sound *sound = l.addSound(sample.get(), c.position, c.volume);
        float left = -1, right = -1;
        VIEW_Sound::gains(*l.m_poMike, *sound, left, right);
        EXPECT_NEAR(left, c.left, 1e-6) << c.position.m_fX << "," << c.position.m_fY;
        EXPECT_NEAR(right, c.right, 1e-6) << c.position.m_fX << "," << c.position.m_fY;
        std::vector<int16_t> out = l.mix(2);
        EXPECT_EQ(out[0], scaled(0.5f, left));
        EXPECT_EQ(out[1], scaled(0.5f, right));
    }

    // The microphone's own X axis decides: turned half round, it hears a
    // sound at (1, 0, 0) on the left; its gain scales what it hears.
    Listening turned;
    turned.m_poMike->editGlobalBasis().setEulerAngles(0, 0, M_PI);
    turned.m_poMike->m_fGain = 0.5;
    MDL_Sound *sound = turned.addSound(sample.get(), MTH_Vector3D(1, 0, 0));
    float left, right;
    VIEW_Sound::gains(*turned.m_poMike, *sound, left, right);
    EXPECT_NEAR(left, 0.454545f, 1e-6);
    EXPECT_NEAR(right, 0.0f, 1e-6);
}

TEST(SoundMix, SilenceWithoutAListener)
{
    std::unique_ptr<MDL_Sample> sample = makeSample(10, 44100, half);
    enum {
        NO_VIEWPORT,
        NO_MIKE,
        MIKE_OFF,
        SILENT_VOLUME,
        NO_SAMPLE,
        NO_RATE,
        NAN_VOLUME,
        NAN_GAIN,
        NAN_PLACE,
        INF_VOLUME
    };
    for (int what = NO_VIEWPORT; what <= INF_VOLUME; what++) {
        Listening l;
        MDL_Sound *sound = l.addSound(sample.get(), MTH_Vector3D(0, 0, 0));
        std::unique_ptr<MDL_Sample> unrated;
        switch (what) {
        case NO_VIEWPORT:
            l.m_oViewports.resize(0);
            break;
        case NO_MIKE:
            l.m_oViewport.m_poMike = nullptr;
            break;
        case MIKE_OFF:
            l.m_poMike->m_bOn = false;
            break;
        case SILENT_VOLUME:
            sound->setVolume(0);
            break;
        case NO_SAMPLE:
            sound->setSample(nullptr);
            break;
        case NO_RATE:
            unrated = makeSample(10, 44100, half);
            unrated->m_iSampleRate = 0;
            sound->setSample(unrated.get());
            break;
        case NAN_VOLUME:
            sound->setVolume(NAN);
            break;
        case NAN_GAIN:
            l.m_poMike->m_fGain = NAN;
            break;
        case NAN_PLACE:
            sound->editGlobalPosition() = MTH_Vector3D(NAN, 0, 0);
            break;
        case INF_VOLUME:
            sound->setVolume(INFINITY);
            break;
        }
        for (int16_t value : l.mix(3))
            EXPECT_EQ(value, 0) << what;
    }
}

TEST(SoundMix, FullScaleClips)
{
    std::unique_ptr<MDL_Sample> up = makeSample(4, 44100, [](int) { return 1.0f; });
    std::unique_ptr<MDL_Sample> down = makeSample(4, 44100, [](int) { return -1.0f; });
    Listening l;
    // Three sounds at the microphone, each at half gain: 1.5 on both sides.
    for (int i = 0; i < 3; i++)
        l.addSound(up.get(), MTH_Vector3D(0, 0, 0));
    std::vector<int16_t> out = l.mix(2);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 32767);

    Listening n;
    for (int i = 0; i < 3; i++)
        n.addSound(down.get(), MTH_Vector3D(0, 0, 0));
    out = n.mix(2);
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], -32768);
}

TEST(SoundMix, OtherRatesAreResampledByIndex)
{
    std::unique_ptr<MDL_Sample> slow = makeSample(20000, 22050, counting);
    Listening l;
    l.addSound(slow.get(), MTH_Vector3D(0, 0, 0));
    // 22050 Hz: every frame twice, also after a start frame.
    for (int start : {0, 8192}) {
        std::vector<int16_t> out = l.mix(100, start);
        for (int k = 0; k < 100; k += 2) {
            EXPECT_EQ(out[2 * k], out[2 * k + 2]) << start << " " << k;
            EXPECT_EQ(out[2 * k], scaled(counting(start / 2 + k / 2), 0.5f)) << start << " " << k;
        }
        EXPECT_NE(out[0], out[8]);
    }
    // 48000 Hz: the nearest lower frame of (s x rate + k x rate) / 44100.
    std::unique_ptr<MDL_Sample> fast = makeSample(20000, 48000, counting);
    Listening f;
    f.addSound(fast.get(), MTH_Vector3D(0, 0, 0));
    std::vector<int16_t> out = f.mix(50, 4096);
    for (int k = 0; k < 50; k++)
        EXPECT_EQ(out[2 * k], scaled(counting(static_cast<int>((4096LL * 48000 + k * 48000LL) / 44100)), 0.5f)) << k;
}

TEST(SoundMix, ChunksContinueAndStridesAreHonoured)
{
    std::unique_ptr<MDL_Sample> sample = makeSample(20000, 44100, counting);
    Listening l;
    l.addSound(sample.get(), MTH_Vector3D(1, 0, 0));
    // 10000 frames in one call are the chunks of 4800, 4800 and 400.
    std::vector<int16_t> whole = l.mix(10000);
    std::vector<int16_t> pieces;
    for (int start : {0, 4800, 9600}) {
        std::vector<int16_t> piece = l.mix(start == 9600 ? 400 : 4800, start);
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(whole, pieces);
    EXPECT_EQ(whole[2 * 9999 + 1], scaled(counting(9999), 0.909091f));

    // Separate arrays, stride 1, give the same samples.
    std::vector<int16_t> left(10000), right(10000);
    l.m_oOutput.mix(l.m_oViewports, 10000, 0, left.data(), 1, right.data(), 1);
    for (int k = 0; k < 10000; k += 997) {
        EXPECT_EQ(left[static_cast<size_t>(k)], whole[2 * k]);
        EXPECT_EQ(right[static_cast<size_t>(k)], whole[2 * k + 1]);
    }
    // Nothing is written for no frames.
    int16_t guard[2] = {7, 7};
    for (int frames : {0, -5}) {
        l.m_oOutput.mix(l.m_oViewports, frames, 0, guard, 2, guard + 1, 2);
        EXPECT_EQ(guard[0], 7);
        EXPECT_EQ(guard[1], 7);
    }
}

TEST(SoundMix, ServiceFillsTheFreeBuffersWithConsecutiveFrames)
{
    std::unique_ptr<MDL_Sample> sample = makeSample(20000, 44100, counting);
    Listening l;
    l.addSound(sample.get(), MTH_Vector3D(-1, 0, 0));
    RecordingSound &out = l.m_oOutput;
    EXPECT_EQ(out.getSampleRate(), 44100);
    // The first service fills all three: frames 0-4095, 4096-8191, 8192-12287.
    EXPECT_EQ(out.service(l.m_oViewports), 12288);
    ASSERT_EQ(out.m_aaBuffers.size(), 3u);
    for (int b = 0; b < 3; b++)
        for (int k : {0, 4095}) {
            EXPECT_EQ(out.m_aaBuffers[b][2 * k], scaled(counting(4096 * b + k), 0.909091f)) << b << " " << k;
            EXPECT_EQ(out.m_aaBuffers[b][2 * k + 1], 0);
        }
    // Nothing is free until a buffer has been played past its end.
    EXPECT_EQ(out.service(l.m_oViewports), 0);
    out.elapse(4095.0 / 44100);
    EXPECT_EQ(out.service(l.m_oViewports), 0);
    out.elapse(1.5 / 44100);
    EXPECT_EQ(out.service(l.m_oViewports), 4096);
    EXPECT_EQ(out.getBuffersInUse(), 3);
    EXPECT_EQ(out.getFramesQueued(), 16384);
}
