// The point-light volume on the built-in example (three views, N = 50):
// building it (adding the views: projection, figure distances; then the master
// grid and the cube mesh with the per-pixel lists) and one adjustment pass
// (six consistency steps, the picture deformation and the rebuild).
#include "BenchSupport.h"
#include "perspective/PerspectiveDesign.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Copies of the example pictures: loading writes picture-mesh caches beside them.
QString exampleCopy(const QTemporaryDir& dir)
{
    for (const char* name : {"x.png", "xy.png", "y.png"})
        QFile::copy(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/perspective/") + QLatin1String(name),
                    dir.filePath(QLatin1String(name)));
    return dir.path();
}

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = timer.nsecsElapsed() / 1e6;
    timer.restart();
    return ms;
}

void BM_PerspectiveBuild(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::vector<PerspectiveViewSource> views = PerspectiveDesign::exampleViews(exampleCopy(dir));
    std::vector<QImage> renderings;
    for (const PerspectiveViewSource& view : views) {
        DeformationModel model;
        loadPictureFile(model, view.picture, false);
        renderings.push_back(model.rendering());
    }
    double add = 0, master = 0, mesh = 0;
    int cells = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        PerspectiveShadowObject object;
        for (std::size_t k = 0; k < views.size(); ++k)
            mustRun(object.addView(renderings[k], views[k].picture, views[k].camera));
        add += elapsedMs(timer);
        object.rebuildMaster();
        master += elapsedMs(timer);
        benchmark::DoNotOptimize(object.buildShadowMesh());
        mesh += elapsedMs(timer);
        cells = object.occupiedCount();
    }
    const double n = double(state.iterations());
    state.counters["add_views_ms"] = add / n;
    state.counters["master_ms"] = master / n;
    state.counters["mesh_and_lists_ms"] = mesh / n;
    state.counters["cells"] = cells;
}

void BM_PerspectiveOptimizePass(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString folder = exampleCopy(dir);
    PerspectiveAdjustOptions options;
    int missingBefore = 0, missingAfter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PerspectiveDesign design;
        mustRun(design.loadExample(folder));
        mustRun(design.show());
        missingBefore = 0;
        for (int m : design.counts().missing)
            missingBefore += m;
        state.ResumeTiming();

        mustRun(design.adjust(options));

        state.PauseTiming();
        missingAfter = 0;
        for (int m : design.counts().missing)
            missingAfter += m;
        state.ResumeTiming();
    }
    state.counters["missing_before"] = missingBefore;
    state.counters["missing_after"] = missingAfter;
}

}  // namespace

BENCHMARK(BM_PerspectiveBuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PerspectiveOptimizePass)->Unit(benchmark::kMillisecond)->MinTime(2.0);
