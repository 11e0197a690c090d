// The sound outputs: the one that plays nothing and the WAV capture free
// their buffers by the frame loop's time; the SDL device frees them as it
// plays (tested on SDL's dummy driver, which plays nothing in real time).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

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

const double BUFFER_SECONDS = 4096.0 / 44100;

// A looping sound at the microphone of one viewport, frame k of its sample
// reading a value that tells the frames apart.
struct Heard {
    MDL_Scene m_oScene;
    MDL_Sample m_oSample;
    MDL_Mike *m_poMike = new MDL_Mike();
    MDL_Sound *m_poSound = new MDL_Sound();
    MDL_Viewport m_oViewport{MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75)};
    UTIL_DynArray<MDL_Viewport *, 128> m_oViewports;

    Heard()
    {
        m_oSample.setFormat(44100, 1);
        std::vector<float> values(30000);
        for (size_t k = 0; k < values.size(); k++)
            values[k] = std::sin(static_cast<float>(k) * 0.01f) * 0.8f;
        const float *channels[1] = {values.data()};
        m_oSample.appendFrames(channels, static_cast<int>(values.size()));
        m_poSound->setSample(&m_oSample);
        m_poSound->setLooping(true);
        m_poSound->editGlobalPosition() = MTH_Vector3D(1, 0, 0);
        m_oScene.addObject(m_poMike);
        m_oScene.addObject(m_poSound);
        m_oViewport.m_poMike = m_poMike;
        m_oViewports.append(&m_oViewport);
    }
};

} // namespace

TEST(PacedSound, BuffersAreFreedByTheFrameLoopsTime)
{
    Heard heard;
    VIEW_NullSound output;
    // Time before anything was queued plays nothing.
    output.elapse(1.0);
    EXPECT_EQ(output.service(heard.m_oViewports), 12288);
    EXPECT_EQ(output.service(heard.m_oViewports), 0);
    // Two frames of half a buffer each free the first buffer.
    output.elapse(BUFFER_SECONDS / 2);
    EXPECT_EQ(output.service(heard.m_oViewports), 0);
    output.elapse(BUFFER_SECONDS / 2 + 1e-9);
    EXPECT_EQ(output.service(heard.m_oViewports), 4096);
    // Stopped, time does not play; started again, it does.
    output.stop();
    output.elapse(1.0);
    EXPECT_EQ(output.service(heard.m_oViewports), 0);
    output.start();
    // Steps that are not positive numbers are ignored.
    for (double step : {-1.0, 0.0, static_cast<double>(NAN)})
        output.elapse(step);
    EXPECT_EQ(output.service(heard.m_oViewports), 0);
    // A long stall plays everything queued, but saves no time up: the next
    // buffers are freed only by time that passes after them.
    output.elapse(INFINITY);
    EXPECT_EQ(output.service(heard.m_oViewports), 12288);
    output.elapse(BUFFER_SECONDS / 2);
    EXPECT_EQ(output.service(heard.m_oViewports), 0);
    EXPECT_EQ(output.getFramesQueued(), 12288 + 4096 + 12288);
}

TEST(WavSound, CapturesEveryBufferIntoAValidFile)
{
    TEST_TempDir dir;
    std::string path = dir.path("capture.wav");
    Heard heard;
    std::vector<int16_t> expected(3 * 4096 * 2);
    {
        VIEW_WavSound capture(path.c_str());
        ASSERT_TRUE(capture.isOpen());
        // From the start the file written beside the name is a valid, empty
        // sound; the name is taken once the capture is complete.
        std::string writing = capture.writingPath();
        EXPECT_NE(writing, path);
        EXPECT_EQ(TEST_listFolder(dir.m_sPath).size(), 1u);
        TEST_Wav empty = TEST_readWav(writing);
        EXPECT_TRUE(empty.m_bValid) << empty.m_sError;
        EXPECT_EQ(empty.m_iChannels, 2);
        EXPECT_EQ(empty.m_iRate, 44100);
        EXPECT_EQ(empty.m_iBits, 16);
        EXPECT_EQ(empty.frames(), 0);

        capture.mix(heard.m_oViewports, 3 * 4096, 0, expected.data(), 2, expected.data() + 1, 2);
        EXPECT_EQ(capture.service(heard.m_oViewports), 12288);
        // Valid while it is being written, with all that was mixed.
        TEST_Wav written = TEST_readWav(writing);
        ASSERT_TRUE(written.m_bValid) << written.m_sError;
        EXPECT_EQ(written.m_aiSamples, expected);
        capture.elapse(BUFFER_SECONDS);
        EXPECT_EQ(capture.service(heard.m_oViewports), 4096);
    }
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), std::vector<std::string>{"capture.wav"});
    TEST_Wav done = TEST_readWav(path);
    ASSERT_TRUE(done.m_bValid) << done.m_sError;
    ASSERT_EQ(done.frames(), 16384);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), done.m_aiSamples.begin()));
    // The sound was heard on the right only.
    EXPECT_NE(done.right(100), 0);
    EXPECT_EQ(done.left(100), 0);
}

TEST(WavSound, AFileThatCannotBeWrittenIsSaidSo)
{
    TEST_TempDir dir;
    TEST_LogCapture log;
    VIEW_WavSound capture(dir.path("no/such/folder/capture.wav").c_str());
    EXPECT_FALSE(capture.isOpen());
    EXPECT_TRUE(log.contains("Cannot write the sound capture")) << log.joined();
    // It still takes its part in the frame loop without writing.
    Heard heard;
    EXPECT_EQ(capture.service(heard.m_oViewports), 12288);
    capture.finish();
}

TEST(SdlSound, BuffersAreFreedAsTheDevicePlays)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Heard heard;
    VIEW_SdlSound device;
    ASSERT_TRUE(device.isOpen()) << device.getError();
    EXPECT_EQ(device.getSampleRate(), 44100);
    EXPECT_EQ(device.service(heard.m_oViewports), 12288);
    EXPECT_EQ(device.getBuffersInUse(), 3);
    // The dummy device takes the queue at about the real rate: a buffer
    // comes free within a fraction of a second, whole buffers only.
    int freed = 0;
    for (int wait = 0; wait < 500 && freed == 0; wait++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        freed = device.service(heard.m_oViewports);
    }
    EXPECT_GT(freed, 0);
    EXPECT_EQ(freed % 4096, 0);
    EXPECT_EQ(device.getBuffersInUse(), 3);
    // Stopped, the device plays nothing further.
    device.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    device.service(heard.m_oViewports);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(device.service(heard.m_oViewports), 0);
    device.start();
    unsetenv("SDL_AUDIODRIVER");
}

TEST(SdlSound, NoDeviceIsSaidSo)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    VIEW_SdlSound device;
    EXPECT_FALSE(device.isOpen());
    EXPECT_STRNE(device.getError(), "");
    // Without a device the buffers are filled once and never freed.
    Heard heard;
    EXPECT_EQ(device.service(heard.m_oViewports), 12288);
    EXPECT_EQ(device.service(heard.m_oViewports), 0);
    unsetenv("SDL_AUDIODRIVER");
}
