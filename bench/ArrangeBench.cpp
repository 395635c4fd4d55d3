// Automatic placement and the keep step on a contradicting triple of bundled
// pictures (a bird, a guitar, a dragon): arrange at cell sizes 5 and 2 for
// every projection set, and the keep step on the hull of the placed pictures.
#include "volume/Arrange.h"
#include "volume/KeepFigure.h"
#include "volume/VolumeBuilder.h"

#include <benchmark/benchmark.h>

namespace {

std::array<Figure, 3> triple()
{
    const char* files[] = {"IncludedData/birds/bird1.png", "IncludedData/tamberlin/view1.png",
                           "Models/Images/dragon/a.png"};
    std::array<Figure, 3> figures;
    for (int k = 0; k < 3; ++k)
        figures[std::size_t(k)] = loadFigure(QStringLiteral(KALVEX_SOURCE_DIR "/") + QLatin1String(files[k])).value();
    return figures;
}

void BM_Arrange(benchmark::State& state)
{
    const int set = int(state.range(0));
    const float cellSize = float(state.range(1));
    const std::array<Figure, 3> figures = triple();
    double worst = 0;
    for (auto _ : state) {
        const Result<Arrangement> arranged = arrange(figures, set, cellSize);
        worst = worstKept(arranged.value().onCanvas);
        benchmark::DoNotOptimize(arranged.value().placements);
    }
    state.counters["kept_on_canvas"] = worst;
}

void BM_KeepFigure(benchmark::State& state)
{
    const int set = int(state.range(0));
    const float cellSize = float(state.range(1));
    const std::array<Figure, 3> figures = triple();
    const Arrangement arranged = arrange(figures, set, cellSize).value();
    std::array<QImage, 3> canvases;
    for (int k = 0; k < 3; ++k)
        canvases[std::size_t(k)] = placeFigure(figures[std::size_t(k)], arranged.placements[std::size_t(k)]).value();
    const ViewFigures targets = viewFigures(canvases, cellSize);
    const std::array<int, 3> modes = *projectionSetModes(set);
    std::vector<ShadowView> views;
    for (int k = 0; k < 3; ++k)
        views.emplace_back(canvases[std::size_t(k)], QString(), modes[std::size_t(k)], cellSize);
    quantizeViews(views);
    const std::unique_ptr<ShadowObject> hull = buildMaster(views, cellSize);
    KeepReport report;
    for (auto _ : state) {
        state.PauseTiming();
        ShadowObject master(*hull);
        state.ResumeTiming();
        report = keepFigure(master, targets);
    }
    state.counters["before"] = worstKept(report.before);
    state.counters["after"] = worstKept(report.after);
}

}  // namespace

BENCHMARK(BM_Arrange)->ArgsProduct({{0, 1, 2}, {5, 2}})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_KeepFigure)->ArgsProduct({{0, 1, 2}, {5, 2}})->Unit(benchmark::kMillisecond)->Iterations(2);
