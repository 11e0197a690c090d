// The sound of a headless run captured with --audio-out: the WAV holds what
// a microphone heard of sounds placed around it, panned, attenuated, scaled
// by volume, clipped, resampled and looped, and it is complete whatever ends
// the run.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "model/MDL_Sample.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_XServer.h"
#include "tests/support/TEST_Wav.h"
#include "tests/support/TEST_Support.h"

namespace {

const std::string MEDIA = std::string(VEKTA_TEST_DATA_DIR) + "/media/";
const double DT = 0.03125; // 1378.125 output frames

// One sound every half second, each in its own burst: x, y, z, volume,
// which sample (1 the 44100 Hz tone, 2 the 22050 Hz one), looping.
const char *const SCRIPT = R"(
local scene, tone, slow, looping
local time, next = 0, 1
local schedule = {
  {0, 0, 0, 1, 1}, {1, 0, 0, 1, 1}, {-1, 0, 0, 1, 1}, {0, 1, 0, 1, 1}, {2, 0, 0, 1, 1},
  {0, 0, 0, 0.5, 1}, {0, 0, 0, 100, 1}, {0, 0, 0, 1, 2}, {0, 0, 0, 1, 1, true},
}
local function update(dt)
  time = time + dt
  if next <= #schedule and time >= 0.5 * next then
    local e = schedule[next]
    local sound = newSound(scene, e[5] == 1 and tone or slow)
    sound:setPosition(v3(e[1], e[2], e[3]))
    sound:setVolume(e[4])
    if e[6] then sound:setLooping(true) looping = sound end
    next = next + 1
  end
  if looping and time >= 5.25 then looping:delete() looping = nil end
  if failAt and time >= failAt then error("stopped on purpose") end
end
function startup()
  scene = newScene("s")
  local viewport = newViewport(0, 0, 1, 0.75)
  viewport:setMike(newMike(scene))
  tone = newSample("tone.ogg")
  slow = newSample("slow.ogg")
  setCallback(CB_UPDATE, update)
end
)";

std::string document(TEST_TempDir &dir, const std::string &prelude = "")
{
    TEST_DocumentBuilder builder;
    builder.add("init.lua", prelude + SCRIPT);
    std::string tone = TEST_readText(MEDIA + "sine-44100-mono.ogg");
    std::string slow = TEST_readText(MEDIA + "sine-22050-mono.ogg");
    builder.add("tone.ogg", std::vector<unsigned char>(tone.begin(), tone.end()));
    builder.add("slow.ogg", std::vector<unsigned char>(slow.begin(), slow.end()));
    return dir.write("sound.vk", builder.build());
}

std::vector<float> decoded(const char *file)
{
    std::string bytes = TEST_readText(MEDIA + file);
    MDL_Sample sample("s", reinterpret_cast<unsigned char *>(&bytes[0]), static_cast<int>(bytes.size()), false);
    const float *data = sample.getChannelData(0);
    return std::vector<float>(data, data + sample.getFrameCount());
}

// A burst: from the start of the buffer in which sound begins to the last
// sound before a whole buffer of silence.
struct Burst {
    int64_t m_iStart, m_iEnd;
};

std::vector<Burst> bursts(const TEST_Wav &wav)
{
    std::vector<Burst> found;
    int64_t last = -1;
    for (int64_t f = 0; f < wav.frames(); f++) {
        if (wav.left(f) == 0 && wav.right(f) == 0)
            continue;
        if (last < 0 || f - last > 4096)
            found.push_back(Burst{f - f % 4096, f});
        found.back().m_iEnd = f;
        last = f;
    }
    return found;
}

// The gain at which channel heard values (the least-squares fit of the
// output to the sample's values at full scale); frame k of the burst heard
// the sample's frame k / step.
double heardGain(const TEST_Wav &wav, const Burst &b, bool right, const std::vector<float> &values, int step = 1)
{
    double xy = 0, xx = 0;
    for (size_t k = 0; k < values.size() * static_cast<size_t>(step); k++) {
        int64_t f = b.m_iStart + static_cast<int64_t>(k);
        double x = values[k / static_cast<size_t>(step)] * 32767.0;
        double y = right ? wav.right(f) : wav.left(f);
        xy += x * y;
        xx += x * x;
    }
    return xy / xx;
}

} // namespace

TEST(PlayerSound, TheCaptureHoldsWhatTheMicrophoneHeard)
{
    TEST_TempDir dir;
    std::string path = dir.path("out.wav");
    const int frames = 192; // 6 s
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", std::to_string(frames), "--dt",
                                                         "0.03125", "--audio-out", path, document(dir)});
    ASSERT_EQ(run.m_iExitCode, 0) << run.m_sErr;
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    EXPECT_EQ(wav.m_iChannels, 2);
    EXPECT_EQ(wav.m_iRate, 44100);
    // The three buffers of the first frame, then one buffer for every 4096
    // frames of time that the later frames let play.
    EXPECT_EQ(wav.frames(), 12288 + 4096 * static_cast<int64_t>((frames - 1) * DT * 44100 / 4096));

    std::vector<Burst> found = bursts(wav);
    ASSERT_EQ(found.size(), 9u);
    std::vector<float> tone = decoded("sine-44100-mono.ogg");
    std::vector<float> slow = decoded("sine-22050-mono.ogg");
    ASSERT_EQ(tone.size(), 11025u);
    ASSERT_EQ(slow.size(), 6615u);

    const struct {
        double left, right;
    } heard[] = {{0.5, 0.5}, {0, 0.909091}, {0.909091, 0}, {0.454545, 0.454545}, {0, 0.714286}, {0.25, 0.25}};
    for (size_t i = 0; i < 6; i++) {
        const Burst &b = found[i];
        EXPECT_NEAR(heardGain(wav, b, false, tone), heard[i].left, 1e-3) << i;
        EXPECT_NEAR(heardGain(wav, b, true, tone), heard[i].right, 1e-3) << i;
        // Not looping: it ends with its sample.
        EXPECT_LT(b.m_iEnd - b.m_iStart, 11025) << i;
    }
    // A silent side is exactly silent.
    for (int64_t f = found[1].m_iStart; f <= found[1].m_iEnd; f++)
        ASSERT_EQ(wav.left(f), 0) << f;

    // Far above full scale: clipped to exactly the 16-bit range.
    int16_t highest = 0, lowest = 0;
    for (int64_t f = found[6].m_iStart; f <= found[6].m_iEnd; f++) {
        highest = std::max(highest, wav.left(f));
        lowest = std::min(lowest, wav.right(f));
    }
    EXPECT_EQ(highest, 32767);
    EXPECT_EQ(lowest, -32768);

    // The 22050 Hz tone: every one of its frames fills an equal pair.
    const Burst &pairs = found[7];
    for (int64_t k = 0; k < 2 * 6615; k += 2) {
        ASSERT_EQ(wav.left(pairs.m_iStart + k), wav.left(pairs.m_iStart + k + 1)) << k;
        ASSERT_EQ(wav.right(pairs.m_iStart + k), wav.right(pairs.m_iStart + k + 1)) << k;
    }
    EXPECT_NEAR(heardGain(wav, pairs, false, slow, 2), 0.5, 1e-3);

    // Looping from 4.5 s until the script deletes it at 5.25 s.
    EXPECT_GT(found[8].m_iEnd - found[8].m_iStart, 2 * 11025);
    EXPECT_LT(found[8].m_iEnd - found[8].m_iStart, 44100);
}

TEST(PlayerSound, TheCaptureIsCompleteAfterAnError)
{
    TEST_TempDir dir;
    std::string path = dir.path("out.wav");
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "100", "--dt", "0.03125",
                                                         "--audio-out", path, document(dir, "failAt = 1.6\n")});
    EXPECT_EQ(run.m_iExitCode, 1);
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    // The sound ends where the error stopped the document: frame 52 (1.625 s)
    // deleted the output before its mix, so the last buffers were those of
    // frame 51, 50 frames of time after the first.
    int64_t stopped = 12288 + 4096 * static_cast<int64_t>(50 * DT * 44100 / 4096);
    EXPECT_EQ(wav.frames(), stopped);
    EXPECT_EQ(bursts(wav).size(), 3u);
}

TEST(PlayerSound, ADocumentRefusedAtOnceLeavesASilentCapture)
{
    // A capture left by an earlier run is replaced, not kept as if it were
    // this run's.
    TEST_TempDir dir;
    std::string path = dir.write("out.wav", std::string(4096, 'x'));
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--dt", "0.03125",
                                                         "--audio-out", path, dir.write("bad.vk", "no document")});
    EXPECT_EQ(run.m_iExitCode, 1);
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    EXPECT_EQ(wav.frames(), 0);
}

TEST(PlayerSound, ACaptureCutShortFailsTheRunAndLeavesWhatTheNameHeld)
{
    // The files may not grow past 64 KiB: the capture says so, the run
    // fails, and the name keeps the earlier file (through a link too), with
    // nothing left beside it.
    for (bool throughLink : {false, true}) {
        SCOPED_TRACE(throughLink);
        TEST_TempDir dir;
        std::string earlier = dir.write("earlier.wav", "an earlier capture");
        std::string path = throughLink ? dir.path("out.wav") : earlier;
        if (throughLink)
            ASSERT_EQ(symlink("earlier.wav", path.c_str()), 0);
        std::string doc = document(dir);
        std::vector<std::string> before = TEST_listFolder(dir.m_sPath);
        TEST_ProcessResult run = TEST_runWithFileLimit(
            VEKTA_PLAYER_EXE, {"--headless", "--frames", "40", "--dt", "0.03125", "--audio-out", path, doc}, 65536);
        EXPECT_EQ(run.m_iExitCode, 1) << run.m_sErr;
        EXPECT_NE(run.m_sErr.find("Writing the sound capture " + path + " failed"), std::string::npos) << run.m_sErr;
        EXPECT_EQ(TEST_readText(earlier), "an earlier capture");
        EXPECT_EQ(TEST_listFolder(dir.m_sPath), before);
    }
}

TEST(PlayerSound, TheCaptureIsCompleteAfterASignal)
{
    TEST_TempDir dir;
    std::string path = dir.path("out.wav");
    std::string doc = document(dir);
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--headless", "--audio-out", path, doc});
    // Let it play in real time until sound has been written into the file
    // that takes the name when the capture ends, then stop it.
    auto writing = [&dir] {
        for (const std::string &name : TEST_listFolder(dir.m_sPath))
            if (name != "out.wav" && name != "sound.vk")
                return dir.path(name);
        return std::string();
    };
    for (int wait = 0; wait < 500 && TEST_readWav(writing()).frames() < 16384; wait++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    player.signal(SIGTERM);
    player.finish();
    TEST_Wav wav = TEST_readWav(path);
    ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
    EXPECT_GE(wav.frames(), 16384);
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"out.wav", "sound.vk"}));
}

// The sound device opens with the window, on an X server of the test's.
struct PlayerSoundWindow : TEST_WindowTest {};

TEST_F(PlayerSoundWindow, WithoutADeviceTheRunSaysSoInOneLine)
{
    m_aEnvironment.push_back("SDL_AUDIODRIVER=no-such-driver");
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--frames", "3", "--dt", "0.02"}, m_aEnvironment);
    EXPECT_EQ(run.m_iExitCode, 0) << run.m_sErr;
    EXPECT_EQ(run.m_sErr.find("No audio device opened ("), 0u) << run.m_sErr;
    size_t second = run.m_sErr.find('\n') + 1;
    EXPECT_EQ(run.m_sErr.compare(second, 18, "Welcome to Vekta.\n"), 0) << run.m_sErr;
}
