// Shadow volume from the three bundled bird pictures (X, Y, Z views) at
// N = 50, 83 and 166 (cell sizes 5, 3 and 1.5): quantisation by distance
// transform and by kd-tree, the master build alone, both together, and the
// cube mesh.
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
    default: return 1.5f;
    }
}

// The volume code reports every freed grid on the debug output; keep it quiet
// while a benchmark runs.
class QuietDebug {
public:
    QuietDebug() : _previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietDebug() { qInstallMessageHandler(_previous); }
    QuietDebug(const QuietDebug&) = delete;
    QuietDebug& operator=(const QuietDebug&) = delete;

private:
    QtMessageHandler _previous;
};

std::vector<ShadowObject> birdViews(float cellSize)
{
    std::vector<ShadowObject> views;
    views.reserve(3);
    for (int k = 0; k < 3; ++k) {
        const QString path = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png").arg(k + 1);
        views.emplace_back(path, 0, k, nullptr, cellSize, false);
    }
    return views;
}

void quantizeBenchmark(benchmark::State& state, DistanceMethod method)
{
    const QuietDebug quiet;
    std::vector<ShadowObject> views = birdViews(cellSizeFor(int(state.range(0))));
    for (auto _ : state) {
        quantizeViews(views, method);
        benchmark::DoNotOptimize(views.front().cellAt(0, 0, 0).distance);
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
    const QuietDebug quiet;
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowObject> views = birdViews(cellSize);
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
    const QuietDebug quiet;
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowObject> views = birdViews(cellSize);
    for (auto _ : state) {
        quantizeViews(views);
        std::unique_ptr<ShadowObject> master = buildMaster(views, cellSize);
        benchmark::DoNotOptimize(master->cellAt(0, 0, 0).occupied);
        state.PauseTiming();
        master.reset();
        state.ResumeTiming();
    }
}

void BM_CubeMesh(benchmark::State& state)
{
    const QuietDebug quiet;
    const float cellSize = cellSizeFor(int(state.range(0)));
    std::vector<ShadowObject> views = birdViews(cellSize);
    quantizeViews(views);
    std::unique_ptr<ShadowObject> master = buildMaster(views, cellSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(master->buildShadowMesh());
    state.counters["cells"] = master->_nof_mesh_cells;
}

}  // namespace

BENCHMARK(BM_Quantize_DistanceTransform)->Name("Quantize_DistanceTransform")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Quantize_KdTree)->Name("Quantize_KdTree")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BuildMaster)->Name("BuildMaster")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_QuantizeAndBuild)->Name("QuantizeAndBuild")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_CubeMesh)->Name("CubeMesh")->Arg(50)->Arg(83)->Arg(166)
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
