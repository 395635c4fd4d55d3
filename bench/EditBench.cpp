// Edits on the hull of the three bird pictures at cell size 3 (N = 83), as in
// the edit stage: a radius-5 subtractive brush with the cube-mesh rebuild
// that shows it, per projection set, and joining every piece to the largest.
#include "BenchSupport.h"
#include "session/DesignSession.h"
#include "volume/Components.h"
#include "volume/EditOperations.h"

#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<DesignSession> birdHull(int set)
{
    auto session = std::make_unique<DesignSession>();
    DesignSession::PictureFiles pictures;
    for (int k = 0; k < 3; ++k)
        pictures[std::size_t(k)] = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png").arg(k + 1);
    mustRun(session->load({.set = set, .paths = pictures, .cellSize = 3.0f, .how = DesignSession::Pictures::Plain}));
    mustRun(session->compute());
    return session;
}

// A ray along +x through the middle of the occupied box.
Ray middleRay(ShadowObject& volume)
{
    CellIndex low, high;
    volume.occupiedBox(low, high);
    const float s = volume.cellSize();
    return Ray(point(-10.0f, (low.y + high.y + 1) * 0.5f * s, (low.z + high.z + 1) * 0.5f * s), point(1, 0, 0));
}

void BM_BrushEdit(benchmark::State& state)
{
    const std::unique_ptr<DesignSession> session = birdHull(int(state.range(0)));
    ShadowObject& volume = *session->volume().master();
    volume.setHollow(true);  // as the window shows it
    GridBox box;
    box.high = point(1, 1, 1) * (83 * 3.0f);
    box.n[0] = box.n[1] = box.n[2] = 83;
    const Ray ray = middleRay(volume);
    int removed = 0;
    for (auto _ : state) {
        removed = subtractBrush(volume, box, ray, 5.0f, false);
        benchmark::DoNotOptimize(volume.buildShadowMesh());
        state.PauseTiming();
        volume.undo();
        state.ResumeTiming();
    }
    state.counters["removed"] = removed;
}

// Carving away every removable cell of two slabs (x and z) leaves the pieces
// that the shadows need, apart; joining them is the benchmark.
void BM_AutoConnect(benchmark::State& state)
{
    const std::unique_ptr<DesignSession> session = birdHull(0);
    ShadowObject& volume = *session->volume().master();
    for (int a = 0; a < 83; ++a)
        for (int b = 0; b < 83; ++b)
            for (int slab = 38; slab < 45; ++slab)
                for (const CellIndex c : {CellIndex{slab, a, b}, CellIndex{a, b, slab}})
                    if (volume.isOccupied(c) && volume.isCellRemovable(c))
                        volume.setOccupied(c, false);
    std::vector<int> labels;
    std::vector<ComponentSeed> seeds;
    labelComponents(volume, labels, &seeds);
    state.counters["components"] = double(seeds.size());
    int joined = 0;
    for (auto _ : state) {
        joined = autoConnectAll(volume);
        state.PauseTiming();
        volume.undo();
        state.ResumeTiming();
    }
    state.counters["joined"] = joined;
}

}  // namespace

BENCHMARK(BM_BrushEdit)->Name("BrushEdit/83/set")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_AutoConnect)->Name("AutoConnect/83")->Unit(benchmark::kMillisecond)->MinTime(1.0);
