// Mixing speed. Read the ratio, not the milliseconds: both rows run in the
// same binary.
//
// One minute of output (44100 frames a second, stereo) mixed from 32 looping
// sounds placed around one microphone, each playing a one-second sample of
// its own at the output's rate, through the sound output's service as the
// frame loop drives it (buffers of 4096 frames, positions moved on after
// every mix), beside a plain loop that sums the same samples with the same
// gains into the same 16-bit buffers. The "realtime" counter is how many
// times faster than real time each row runs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/MDL_Mike.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Viewport.h"
#include "view/null/VIEW_NullSound.h"

namespace {

const int RATE = 44100;
const int SECONDS = 60;
const int SOUNDS = 32;
const int BUFFER = 4096;

struct Mixing {
    MDL_Scene m_oScene;
    std::vector<std::unique_ptr<MDL_Sample>> m_aoSamples;
    std::vector<MDL_Sound *> m_apoSounds;
    MDL_Mike *m_poMike = new MDL_Mike();
    MDL_Viewport m_oViewport{MTH_Vector2D(0, 0), MTH_Vector2D(1, 0.75)};
    UTIL_DynArray<MDL_Viewport *, 128> m_oViewports;

    Mixing()
    {
        m_oScene.addObject(m_poMike);
        m_oViewport.m_poMike = m_poMike;
        m_oViewports.append(&m_oViewport);
        for (int s = 0; s < SOUNDS; s++) {
            std::unique_ptr<MDL_Sample> sample(new MDL_Sample());
            sample->setFormat(RATE, 1);
            std::vector<float> values(RATE);
            for (int k = 0; k < RATE; k++)
                values[static_cast<size_t>(k)] = 0.1f * std::sin(0.01f * static_cast<float>(k * (s + 1)));
            const float *channels[1] = {values.data()};
            sample->appendFrames(channels, RATE);
            MDL_Sound *sound = new MDL_Sound();
            sound->setSample(sample.get());
            sound->setLooping(true);
            double angle = s * 2 * M_PI / SOUNDS;
            sound->editGlobalPosition() = MTH_Vector3D(2 * std::cos(angle), 2 * std::sin(angle), 0);
            m_oScene.addObject(sound);
            m_apoSounds.push_back(sound);
            m_aoSamples.push_back(std::move(sample));
        }
    }
};

void setRealtime(benchmark::State &state)
{
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(SECONDS) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MixThroughTheSoundOutput(benchmark::State &state)
{
    Mixing m;
    for (auto _ : state) {
        VIEW_NullSound output;
        int64_t mixed = 0;
        while (mixed < static_cast<int64_t>(SECONDS) * RATE) {
            output.elapse(static_cast<double>(BUFFER) / RATE);
            int frames = output.service(m.m_oViewports);
            for (MDL_Sound *sound : m.m_apoSounds)
                sound->advance(frames, RATE);
            mixed += frames;
        }
        benchmark::DoNotOptimize(mixed);
    }
    setRealtime(state);
}
BENCHMARK(BM_MixThroughTheSoundOutput)->Unit(benchmark::kMillisecond);

// The baseline: the gains worked out once, then every sample summed straight
// from its array into float accumulators and written as 16-bit values.
void BM_PlainSumOfTheSameSamples(benchmark::State &state)
{
    Mixing m;
    std::vector<float> leftGains(SOUNDS), rightGains(SOUNDS);
    for (int s = 0; s < SOUNDS; s++)
        VIEW_Sound::gains(*m.m_poMike, *m.m_apoSounds[static_cast<size_t>(s)], leftGains[static_cast<size_t>(s)],
                          rightGains[static_cast<size_t>(s)]);
    std::vector<int16_t> out(2 * BUFFER);
    std::vector<float> left(BUFFER), right(BUFFER);
    for (auto _ : state) {
        int64_t offset = 0;
        for (int64_t mixed = 0; mixed < static_cast<int64_t>(SECONDS) * RATE; mixed += BUFFER) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            for (int s = 0; s < SOUNDS; s++) {
                const float *data = m.m_aoSamples[static_cast<size_t>(s)]->getChannelData(0);
                float gl = leftGains[static_cast<size_t>(s)], gr = rightGains[static_cast<size_t>(s)];
                // Up to the end of the sample, then on from its start.
                int run = static_cast<int>(RATE - offset < BUFFER ? RATE - offset : BUFFER);
                for (int k = 0; k < run; k++) {
                    left[static_cast<size_t>(k)] += data[offset + k] * gl;
                    right[static_cast<size_t>(k)] += data[offset + k] * gr;
                }
                for (int k = run; k < BUFFER; k++) {
                    left[static_cast<size_t>(k)] += data[k - run] * gl;
                    right[static_cast<size_t>(k)] += data[k - run] * gr;
                }
            }
            for (int k = 0; k < BUFFER; k++) {
                out[static_cast<size_t>(2 * k)] = static_cast<int16_t>(
                    std::fmax(-32768.0f, std::fmin(32767.0f, left[static_cast<size_t>(k)] * 32767.0f)));
                out[static_cast<size_t>(2 * k + 1)] = static_cast<int16_t>(
                    std::fmax(-32768.0f, std::fmin(32767.0f, right[static_cast<size_t>(k)] * 32767.0f)));
            }
            offset = (offset + BUFFER) % RATE;
            benchmark::DoNotOptimize(out.data());
        }
    }
    setRealtime(state);
}
BENCHMARK(BM_PlainSumOfTheSameSamples)->Unit(benchmark::kMillisecond);

} // namespace
