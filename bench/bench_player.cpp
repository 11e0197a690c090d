// Frames of the built-in document at 800 x 600 as the headless player runs
// them: drawn with OpenGL into an off-screen framebuffer, beside the same
// frames through the renderer that draws nothing (the baseline: everything
// a frame does but drawing). Their ratio is the share of drawing.
#include <benchmark/benchmark.h>

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
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
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

} // namespace
