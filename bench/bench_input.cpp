// Reading an --input file whose lines alternate between two frames (every
// line out of frame order), beside a plain read of the same lines: the file
// read into memory, each line's frame number taken and the lines sorted
// stably by it. Read the ratio of the two, not the times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "controller/desktop/CTRL_InputScript.h"

namespace {

// A file of lines lines, written once for each count.
std::string inputFile(int lines)
{
    std::string path = "/tmp/vekta-bench-input-" + std::to_string(lines) + ".txt";
    FILE *file = fopen(path.c_str(), "rb");
    if (file != nullptr) {
        fclose(file);
        return path;
    }
    file = fopen(path.c_str(), "wb");
    for (int i = 0; i < lines; i++)
        fprintf(file, i % 2 == 0 ? "3 mouseMove %d 300\n" : "2 keyDown %d\n", 100 + i % 500);
    fclose(file);
    return path;
}

void BM_InputFileReadAndOrdered(benchmark::State &state)
{
    int lines = static_cast<int>(state.range(0));
    std::string path = inputFile(lines);
    for (auto _ : state) {
        CTRL_InputScript input;
        char error[1024];
        if (!input.load(path.c_str(), error, sizeof(error)) || input.count() != lines)
            state.SkipWithError(error);
        benchmark::DoNotOptimize(input.event(lines - 1));
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_InputFileReadAndOrdered)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The baseline: the whole file read, each line's frame number read and the
// lines sorted stably by it.
void BM_PlainReadAndStableSort(benchmark::State &state)
{
    int lines = static_cast<int>(state.range(0));
    std::string path = inputFile(lines);
    for (auto _ : state) {
        FILE *file = fopen(path.c_str(), "rb");
        std::string text;
        char block[65536];
        size_t n;
        while ((n = fread(block, 1, sizeof(block), file)) > 0)
            text.append(block, n);
        fclose(file);
        std::vector<std::pair<long, size_t>> order;
        for (size_t at = 0; at < text.size();) {
            order.emplace_back(strtol(text.c_str() + at, nullptr, 10), at);
            size_t end = text.find('\n', at);
            at = end == std::string::npos ? text.size() : end + 1;
        }
        std::stable_sort(
            order.begin(), order.end(),
            [](const std::pair<long, size_t> &a, const std::pair<long, size_t> &b) { return a.first < b.first; });
        if (order.size() != static_cast<size_t>(lines))
            state.SkipWithError("the lines were not all read");
        benchmark::DoNotOptimize(order.back());
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_PlainReadAndStableSort)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
