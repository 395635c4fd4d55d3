// Example-based completion on the shadow hull of the three bundled bird
// pictures (X, Y, Z views):
// - "Example/PreparePlace/5" and "/3": preparing (smooth target, distances of
//   every cell) and placing at cell sizes 5 (n = 50) and 3 (n = 83), rand()
//   seeded alike in every run; the two parts are also given as counters;
// - "Example/CellDistances/83/field" and ".../kdtree": the n^3 cell distances
//   from the grid-line distance field and from one kd-tree query per cell;
// - "Registration/step/selector:s": one registration step (pairing and the
//   6 x 6 solve) of a placed model against the n = 50 target, with pairs
//   within squared distance 10 as when refining; the counter
//   "per_1000_vertices" is the time per 1,000 source vertices.
#include "BenchSupport.h"
#include "completion/ExampleCompletion.h"
#include "completion/NuRegistration.h"
#include "completion/VertexDistanceField.h"
#include "completion/VertexIndex.h"
#include "session/DesignSession.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QString>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

const QString kModels = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/example_based_models");

std::unique_ptr<DesignSession> birdHull(float cellSize)
{
    auto session = std::make_unique<DesignSession>();
    const QString folder = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/");
    mustRun(session->load({.paths = {folder + "bird1.png", folder + "bird2.png", folder + "bird3.png"},
                           .cellSize = cellSize,
                           .how = DesignSession::Pictures::Plain}));
    mustRun(session->compute());
    return session;
}

void BM_PreparePlace(benchmark::State& state)
{
    const float cellSize = float(state.range(0));
    const auto session = birdHull(cellSize);
    ExampleCompletion completion;
    mustRun(completion.loadDatabase(kModels, cellSize));
    double prepareMs = 0.0, placeMs = 0.0;
    QElapsedTimer timer;
    for (auto _ : state) {
        std::srand(1);
        timer.start();
        if (!completion.prepare(*session->volume().master()).ok()) {
            state.SkipWithError("contouring failed");
            return;
        }
        prepareMs += double(timer.nsecsElapsed()) / 1e6;
        timer.start();
        benchmark::DoNotOptimize(completion.place());
        placeMs += double(timer.nsecsElapsed()) / 1e6;
    }
    const double runs = double(state.iterations());
    state.counters["prepare_ms"] = prepareMs / runs;
    state.counters["place_ms"] = placeMs / runs;
    state.counters["n"] = completion.gridSize();
    state.counters["placements"] = double(completion.placements().size());
    state.counters["target_vertices"] = double(completion.target()->vertices.size());
}

void BM_CellDistances(benchmark::State& state, bool field)
{
    const auto session = birdHull(3.0f);
    ShadowObject& hull = *session->volume().master();
    const std::vector<point> vertices = hull.smoothMesh(true)->vertices;
    const int n = hull.resolution();
    for (auto _ : state) {
        if (field) {
            benchmark::DoNotOptimize(vertexDistanceField(vertices, n));
        } else {
            const VertexIndex index(vertices);
            std::vector<float> distances(std::size_t(n) * n * n);
            std::size_t at = 0;
            for (int x = 0; x < n; ++x)
                for (int y = 0; y < n; ++y)
                    for (int z = 0; z < n; ++z)
                        distances[at++] = float(std::sqrt(index.nearest(x, y, z).squaredDistance));
            benchmark::DoNotOptimize(distances.data());
        }
    }
    state.counters["target_vertices"] = double(vertices.size());
}

void BM_RegistrationStep(benchmark::State& state)
{
    const auto session = birdHull(5.0f);
    ExampleCompletion completion;
    mustRun(completion.loadDatabase(kModels, 5.0f));
    mustRun(completion.prepare(*session->volume().master()));
    std::srand(1);
    mustRun(completion.place());
    const ModelPlacement& placed = completion.placements().front();
    NuRegistration registration(*completion.target(), int(state.range(0)),
                                ExampleCompletion::kRefineMaxSquaredDistance, 0.0);
    registration.setSource(completion.model(placed.model), placed.transform, placed.scale);
    for (auto _ : state)
        benchmark::DoNotOptimize(registration.doRegistrationStep());
    const double vertices = double(completion.model(placed.model).vertices.size());
    state.counters["source_vertices"] = vertices;
    state.counters["pairs"] = registration.lastPairs();
    state.counters["per_1000_vertices"] = benchmark::Counter(double(state.iterations()) * vertices / 1000.0,
                                                             benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_PreparePlace)->Name("Example/PreparePlace")->Arg(5)->Arg(3)->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_CellDistances, field, true)->Name("Example/CellDistances/83/field")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(BM_CellDistances, kdtree, false)->Name("Example/CellDistances/83/kdtree")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_RegistrationStep)->Name("Registration/step")->ArgName("selector")->Arg(0)->Arg(1)->Arg(2)
    ->Unit(benchmark::kMicrosecond)->MinTime(0.5);
