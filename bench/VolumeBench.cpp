// Shadow volume from the three bundled bird pictures (X, Y, Z views) at
// N = 50, 83, 166 and 250 (cell sizes 5, 3, 1.5 and 1): quantisation by
// distance transform and by kd-tree, the master build alone, both together,
// the whole hull as kalvex-cli computes it, and the cube mesh.
#include "BenchSupport.h"
#include "session/DesignSession.h"
#include "volume/VolumeBuilder.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <vector>

namespace {

float cellSizeFor(int n)
{
    switch (n) {
    case 50: return 5.0f;
    case 83: return 3.0f;
    case 166: return 1.5f;
    default: return 1.0f;
    }
}

QString birdPicture(int k)
{
    return QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png").arg(k + 1);
}

std::vector<ShadowView> birdViews(float cellSize)
{
    std::vector<ShadowView> views;
    views.reserve(3);
    for (int k = 0; k < 3; ++k)
        views.emplace_back(QImage(birdPicture(k)), birdPicture(k), k, cellSize);
    return views;
}

void quantizeBenchmark(benchmark::State& state, DistanceMethod method)
{
    std::vector<ShadowView> views = birdViews(cellSizeFor(int(state.range(0))));
    for (auto _ : state) {
        quantizeViews(views, method);
        benchmark::DoNotOptimize(views.front().distance(0, 0, 0));
    }
}

void BM_Quantize_DistanceTransform(benchmark::State& state)
{
    quantizeBenchmark(state, DistanceMethod::DistanceTransform);
}

void BM_Quantize_KdTree(benchmark::State& state)
{
    quantizeBenchmark(state, DistanceMethod::KdTree);
}

void BM_BuildMaster(benchmark::State& state)
{
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowView> views = birdViews(cellSize);
    quantizeViews(views);
    for (auto _ : state) {
        std::unique_ptr<ShadowObject> master = buildMaster(views, cellSize);
        benchmark::DoNotOptimize(master->cellAt(0, 0, 0).occupied);
        state.PauseTiming();
        master.reset();  // freeing the grid is not part of the build
        state.ResumeTiming();
    }
    state.counters["cells"] = countOccupiedCells(*buildMaster(views, cellSize));
}

void BM_QuantizeAndBuild(benchmark::State& state)
{
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowView> views = birdViews(cellSize);
    for (auto _ : state) {
        quantizeViews(views);
        std::unique_ptr<ShadowObject> master = buildMaster(views, cellSize);
        benchmark::DoNotOptimize(master->cellAt(0, 0, 0).occupied);
        state.PauseTiming();
        master.reset();
        state.ResumeTiming();
    }
}

// What "kalvex-cli hull" does: read three pictures, quantise, build, and the
// comparison images with their counts.
void BM_Hull(benchmark::State& state)
{
    const float cellSize = cellSizeFor(int(state.range(0)));
    const DesignSession::PictureFiles pictures{birdPicture(0), birdPicture(1), birdPicture(2)};
    for (auto _ : state) {
        DesignSession session;
        mustRun(session.load({.paths = pictures, .cellSize = cellSize, .how = DesignSession::Pictures::Plain}));
        mustRun(session.compute());
        benchmark::DoNotOptimize(session.volume().counts().cells);
    }
}

void BM_CubeMesh(benchmark::State& state)
{
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowView> views = birdViews(cellSize);
    quantizeViews(views);
    std::unique_ptr<ShadowObject> master = buildMaster(views, cellSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(master->buildShadowMesh());
    state.counters["cells"] = master->meshCellCount();
}

}  // namespace

BENCHMARK(BM_Quantize_DistanceTransform)->Name("Quantize_DistanceTransform")->Arg(50)->Arg(83)->Arg(166)->Arg(250)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Quantize_KdTree)->Name("Quantize_KdTree")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BuildMaster)->Name("BuildMaster")->Arg(50)->Arg(83)->Arg(166)->Arg(250)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_QuantizeAndBuild)->Name("QuantizeAndBuild")->Arg(50)->Arg(83)->Arg(166)->Arg(250)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Hull)->Name("Hull")->Arg(50)->Arg(83)->Arg(166)->Arg(250)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_CubeMesh)->Name("CubeMesh")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
