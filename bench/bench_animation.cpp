// One frame of animation playback: 1,000 players, each on its own target and
// its own track of 1,000 keys, advanced by one frame (what a scene's
// advanceAnimations does). Beside it, in the same run:
// - the same players on tracks of 2 keys, to show what the key count costs
//   (a player finds its interval from the last one, so the ratio stays near
//   1);
// - the bare pose writes (Euler angles, scale, position through one local
//   frame edit) on the same targets, the floor that playback cannot go under.
// Read the ratios, not the times.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Object.h"

namespace {

const int PLAYERS = 1000;
const double FRAME = 1.0 / 60;

struct Playback {
    explicit Playback(int keys) : m_aoData(PLAYERS), m_aoTargets(PLAYERS), m_aoPlayers(PLAYERS)
    {
        for (int p = 0; p < PLAYERS; p++) {
            MDL_AnimationData &data = m_aoData[p];
            data.setKeyCount(keys);
            for (int k = 0; k < keys; k++) {
                double t = k * (1000.0 / (keys - 1));
                data.setKey(k, t, MTH_Vector3D(std::sin(t + p), std::cos(t), 0.01 * k),
                            MTH_Vector3D(0.1 * std::sin(t), 0.2 * std::cos(t + p), 0.3 * t),
                            MTH_Vector3D(1, 1 + 0.1 * std::sin(t), 1));
            }
            MDL_Animation &player = m_aoPlayers[p];
            player.setData(&data);
            player.setTarget(&m_aoTargets[p]);
            player.setDuration(data.getKeyTime(keys - 1));
            player.seek(p * (1000.0 / PLAYERS)); // spread over the track
            player.play();
        }
    }

    // One frame, restarting a player that ran off its end.
    void frame()
    {
        for (MDL_Animation &player : m_aoPlayers) {
            if (!player.isPlaying()) {
                player.seek(0);
                player.play();
            }
            player.apply(FRAME);
        }
    }

    std::vector<MDL_AnimationData> m_aoData;
    std::vector<MDL_Object> m_aoTargets;
    std::vector<MDL_Animation> m_aoPlayers;
};

void BM_AdvancePlayers(benchmark::State &state)
{
    Playback playback(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        playback.frame();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PLAYERS);
}
BENCHMARK(BM_AdvancePlayers)->Arg(1000)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_PoseWritesOnly(benchmark::State &state)
{
    std::vector<MDL_Object> targets(PLAYERS);
    double t = 0;
    for (auto _ : state) {
        t += FRAME;
        for (int p = 0; p < PLAYERS; p++) {
            MTH_Frame &frame = targets[p].editLocalFrame();
            frame.m_oBasis.setEulerAngles(0.1 * t, 0.2 * t, 0.3 * t + p);
            frame.m_oBasis.scaleRows(MTH_Vector3D(1, 1.05, 1));
            frame.m_oPosition = MTH_Vector3D(t, p, 0);
            frame.invalidateInverse();
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PLAYERS);
}
BENCHMARK(BM_PoseWritesOnly)->Unit(benchmark::kMicrosecond);

} // namespace
