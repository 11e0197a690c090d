// The frame's sound update: the output mixes what it has room for and every
// sound moves on by the frames mixed, looping or leaving its scene at its
// end; the error report deletes the output; the Linux controller picks the
// output (device, nothing, or a WAV capture).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_Desktop.h"
#include "model/MDL_Mike.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_Wav.h"
#include "view/desktop/VIEW_SdlSound.h"
#include "view/desktop/VIEW_WavSound.h"
#include "view/null/VIEW_NullSound.h"

namespace {

// The output that plays nothing, telling when it is stopped and deleted.
struct WatchedSound : VIEW_NullSound {
    bool *m_pbStopped;
    bool *m_pbDeleted;
    WatchedSound(bool *stopped, bool *deleted) : m_pbStopped(stopped), m_pbDeleted(deleted) {}
    ~WatchedSound() override { *m_pbDeleted = true; }
    void stop() override
    {
        *m_pbStopped = true;
        VIEW_NullSound::stop();
    }
};

std::unique_ptr<MDL_Sample> constantSample(int frames, int rate)
{
    std::unique_ptr<MDL_Sample> sample(new MDL_Sample());
    sample->setFormat(rate, 1);
    std::vector<float> values(static_cast<size_t>(frames), 0.25f);
    const float *channels[1] = {values.data()};
    sample->appendFrames(channels, frames);
    return sample;
}

// A running controller with one scene heard through one viewport.
struct Playing {
    CTRL_Generic m_oController{nullptr, CTRL_PLATFORM_LINUX};
    MDL_Scene *m_poScene;

    explicit Playing(VIEW_Sound *output)
    {
        m_oController.m_poSound = output;
        m_oController.m_bRunning = true;
        m_poScene = m_oController.addScene("s");
        MDL_Mike *mike = new MDL_Mike();
        m_poScene->addObject(mike);
        m_oController.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75))->m_poMike = mike;
    }
    ~Playing() { delete m_oController.m_poSound; }

    MDL_Sound *addSound(MDL_Sample *sample, bool looping)
    {
        MDL_Sound *sound = new MDL_Sound();
        sound->setSample(sample);
        sound->setLooping(looping);
        m_poScene->addObject(sound);
        return sound;
    }
    void frame(double dt) { m_oController.frame(nullptr, nullptr, dt); }
};

const double BUFFER_SECONDS = 4096.0 / 44100;

} // namespace

TEST(FrameSound, SoundsMoveOnByTheFramesMixedAndLoopOrEnd)
{
    std::unique_ptr<MDL_Sample> sample = constantSample(20000, 44100);
    std::unique_ptr<MDL_Sample> slow = constantSample(20000, 22050);
    Playing p(new VIEW_NullSound());
    MDL_Sound *ending = p.addSound(sample.get(), false);
    MDL_Sound *looping = p.addSound(sample.get(), true);
    MDL_Sound *halfRate = p.addSound(slow.get(), false);
    MDL_Sound *kept = p.addSound(sample.get(), false);
    kept->setAutoDelete(false);

    // The first frame mixes the three buffers ahead.
    p.frame(BUFFER_SECONDS / 2);
    EXPECT_EQ(ending->m_iPlayOffset, 12288);
    EXPECT_EQ(halfRate->m_iPlayOffset, 6144);
    // Half a buffer's time frees nothing; a whole one frees a buffer.
    p.frame(BUFFER_SECONDS / 2);
    EXPECT_EQ(ending->m_iPlayOffset, 12288);
    p.frame(BUFFER_SECONDS / 2 + 1e-6);
    EXPECT_EQ(ending->m_iPlayOffset, 16384);
    EXPECT_FALSE(ending->m_bDeleted);
    // The next buffer carries it past its end: it leaves its scene in that
    // frame; a looping sound wraps by the sample's length; a sound without
    // auto-delete stays, silent, at its end.
    p.frame(BUFFER_SECONDS);
    EXPECT_TRUE(ending->m_bDeleted);
    EXPECT_EQ(looping->m_iPlayOffset, 20480 - 20000);
    EXPECT_EQ(kept->m_iPlayOffset, 20000);
    EXPECT_FALSE(kept->m_bDeleted);
    EXPECT_EQ(halfRate->m_iPlayOffset, 10240);
    p.frame(0.01);
    EXPECT_EQ(p.m_poScene->m_oSounds.find(ending), -1);
    EXPECT_EQ(p.m_poScene->m_oSounds.m_iCount, 3);
}

TEST(FrameSound, WithoutADeviceSoundsStillEnd)
{
    // A sound of one second at 50 frames a second: the buffers ahead make it
    // end early by at most their length, and never late by more than a
    // buffer.
    std::unique_ptr<MDL_Sample> second = constantSample(44100, 44100);
    Playing p(new VIEW_NullSound());
    MDL_Sound *sound = p.addSound(second.get(), false);
    int frames = 0;
    while (!sound->m_bDeleted && frames < 200) {
        p.frame(0.02);
        frames++;
    }
    EXPECT_GE(frames * 0.02, 1.0 - 12288.0 / 44100);
    EXPECT_LE(frames * 0.02, 1.0 + BUFFER_SECONDS);

    // Without an output nothing moves.
    Playing silent(nullptr);
    MDL_Sound *still = silent.addSound(second.get(), false);
    silent.frame(0.5);
    EXPECT_EQ(still->m_iPlayOffset, 0);
}

TEST(FrameSound, TheErrorReportStopsAndDeletesTheOutput)
{
    bool stopped = false, deleted = false;
    std::unique_ptr<MDL_Sample> sample = constantSample(100000, 44100);
    Playing p(new WatchedSound(&stopped, &deleted));
    MDL_Sound *sound = p.addSound(sample.get(), false);
    p.frame(0.02);
    TEST_LogCapture log;
    p.m_oController.reportError("stop");
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(p.m_oController.m_poSound, nullptr);
    // Frames go on, halted and silent.
    p.frame(0.1);
    EXPECT_EQ(sound->m_iPlayOffset, 12288);
}

TEST(DesktopSound, TheOutputFollowsTheChoice)
{
    TEST_TempDir dir;
    CTRL_Desktop controller(nullptr);
    EXPECT_EQ(controller.m_poSound, nullptr);

    ASSERT_TRUE(controller.openSound(false, nullptr));
    EXPECT_NE(dynamic_cast<VIEW_NullSound *>(controller.m_poSound), nullptr);

    ASSERT_TRUE(controller.openSound(false, dir.path("a.wav").c_str()));
    EXPECT_NE(dynamic_cast<VIEW_WavSound *>(controller.m_poSound), nullptr);
    // A capture wins over the device.
    ASSERT_TRUE(controller.openSound(true, dir.path("b.wav").c_str()));
    EXPECT_NE(dynamic_cast<VIEW_WavSound *>(controller.m_poSound), nullptr);

    {
        TEST_LogCapture log;
        EXPECT_FALSE(controller.openSound(false, dir.path("missing/c.wav").c_str()));
        EXPECT_EQ(controller.m_poSound, nullptr);
    }

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(controller.openSound(true, nullptr));
    EXPECT_NE(dynamic_cast<VIEW_SdlSound *>(controller.m_poSound), nullptr);

    // No device: the output that plays nothing, said in one line.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    TEST_LogCapture log;
    ASSERT_TRUE(controller.openSound(true, nullptr));
    EXPECT_NE(dynamic_cast<VIEW_NullSound *>(controller.m_poSound), nullptr);
    ASSERT_EQ(log.m_asLines.size(), 1u);
    EXPECT_EQ(log.m_asLines[0].find("No audio device opened"), 0u) << log.m_asLines[0];
    unsetenv("SDL_AUDIODRIVER");
}

TEST(DesktopSound, TheCaptureIsCompleteAfterTheErrorReport)
{
    TEST_TempDir dir;
    std::string path = dir.path("capture.wav");
    std::unique_ptr<MDL_Sample> sample = constantSample(100000, 44100);
    CTRL_Desktop controller(nullptr);
    ASSERT_TRUE(controller.openSound(false, path.c_str()));
    controller.m_bRunning = true;
    MDL_Scene *scene = controller.addScene("s");
    MDL_Mike *mike = new MDL_Mike();
    scene->addObject(mike);
    controller.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75))->m_poMike = mike;
    MDL_Sound *sound = new MDL_Sound();
    sound->setSample(sample.get());
    scene->addObject(sound);
    for (int i = 0; i < 10; i++)
        controller.frame(nullptr, nullptr, 0.05);
    TEST_LogCapture log;
    controller.reportError("stop");
    // The file is closed and whole while the player still runs.
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    EXPECT_EQ(wav.frames(), 12288 + 4096 * 4);
    EXPECT_EQ(wav.left(0), static_cast<int16_t>(0.25f * 0.5f * 32767.0f));
    controller.frame(nullptr, nullptr, 0.05);
    EXPECT_EQ(TEST_readWav(path).frames(), wav.frames());
}
