// Frames of the built-in document at 800 x 600 as the headless player runs
// them: drawn with OpenGL into an off-screen framebuffer, each frame's
// drawing done before the next begins, beside the same frames through the
// renderer that draws nothing (the baseline: everything a frame does but
// drawing). Their ratio is the share of drawing.
//
// And the headless player's memory over a long run: the player itself, on
// two cores (where the rasteriser's threads fall behind first), plays 1,000
// and then 4,000 frames of the built-in document; the peak resident sizes
// of the two runs should be within a tenth of each other.
#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_drawing.h"
#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_HeadlessHost.h"
#include "scripting/LMP_ScriptEngine.h"
#include "view/null/VIEW_Null.h"

namespace {

const double FRAME_TIME = 1.0 / 60;

void runBuiltInDocument(benchmark::State &state, bool drawn)
{
    CTRL_Desktop controller(new LMP_ScriptEngine());
    if (!controller.openDocument(VEKTA_BUILTIN_DOCUMENT)) {
        state.SkipWithError("the built-in document does not open");
        return;
    }
    VIEW_Null nothing;
    CTRL_HeadlessHost *host =
        drawn ? new CTRL_HeadlessHost(&controller, 800, 600) : new CTRL_HeadlessHost(&controller, &nothing, 800, 600);
    if (drawn && !host->drawing()) {
        state.SkipWithError(host->failure());
        delete host;
        return;
    }
    host->run(2, FRAME_TIME); // the scripts start, the textures are made
    for (auto _ : state)
        host->run(1, FRAME_TIME);
    BENCH_countFrames(state);
    delete host;
}

void BM_BuiltInDocumentNotDrawn(benchmark::State &state)
{
    runBuiltInDocument(state, false);
}
BENCHMARK(BM_BuiltInDocumentNotDrawn)->Unit(benchmark::kMillisecond);

void BM_BuiltInDocumentDrawn(benchmark::State &state)
{
    runBuiltInDocument(state, true);
}
BENCHMARK(BM_BuiltInDocumentDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first two processors this process may run on; false when it has
// fewer.
bool twoProcessors(cpu_set_t &set)
{
    cpu_set_t allowed;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0)
        return false;
    int found = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE && found < 2; cpu++)
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &set);
            found++;
        }
    return found == 2;
}

// Plays frames of the built-in document with the headless player on the
// processors, capturing the sound into capture; the player's peak resident
// size in MiB, or a negative number when it did not run to its end.
double playerPeakMiB(long frames, const cpu_set_t &processors, const std::string &capture)
{
    std::string count = std::to_string(frames);
    pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        sched_setaffinity(0, sizeof(processors), &processors);
        if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr)
            _exit(127);
        execl(VEKTA_PLAYER, VEKTA_PLAYER, "--headless", "--size", "320x240", "--dt", "0.02", "--frames", count.c_str(),
              "--audio-out", capture.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss / 1024.0; // kilobytes
}

void BM_PlayerMemoryOnTwoCores(benchmark::State &state)
{
    if (!BENCH_needContext(state, 320, 240))
        return; // the player would draw nothing
    cpu_set_t processors;
    if (!twoProcessors(processors)) {
        state.SkipWithError("fewer than two processors");
        return;
    }
    char folder[] = "/tmp/bench_player.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::string capture = std::string(folder) + "/capture.wav";
    double shortRun = 0, longRun = 0;
    for (auto _ : state) {
        shortRun = playerPeakMiB(1000, processors, capture);
        longRun = playerPeakMiB(4000, processors, capture);
    }
    remove(capture.c_str());
    rmdir(folder);
    if (shortRun <= 0 || longRun <= 0) {
        state.SkipWithError("the player failed");
        return;
    }
    state.counters["peak_MiB_1000_frames"] = shortRun;
    state.counters["peak_MiB_4000_frames"] = longRun;
    // Within 10 when the memory stays flat.
    state.counters["growth_percent"] = 100 * (longRun / shortRun - 1);
}
BENCHMARK(BM_PlayerMemoryOnTwoCores)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
