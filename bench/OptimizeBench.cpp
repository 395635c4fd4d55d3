// One pass of the workflow's "optimize" on the bundled bird pictures (X, Y, Z
// views), at cell sizes 5 and 3: the master computed from the views, the
// repair steps, the picture deformation and the rebuild from the deformed
// pictures. Each iteration starts from the freshly loaded pictures.
#include "deform/DeformationModel.h"
#include "deform/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Copies of the pictures in a temporary folder: loading writes picture-mesh
// caches beside them.
QStringList birdPictures(const QTemporaryDir& dir)
{
    QStringList paths;
    for (int k = 1; k <= 3; ++k) {
        const QString name = QStringLiteral("bird%1.png").arg(k);
        const QString copy = dir.filePath(name);
        QFile::copy(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/") + name, copy);
        paths << copy;
    }
    return paths;
}

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = timer.nsecsElapsed() / 1e6;
    timer.restart();
    return ms;
}

void BM_OptimizePass(benchmark::State& state)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const float cellSize = float(state.range(0));
    QTemporaryDir dir;
    const QStringList paths = birdPictures(dir);
    AdjustParameters parameters;
    parameters.preserveShape = true;

    double compute = 0, repair = 0, deform = 0, recompute = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::array<DeformationModel, 3> models;
        DesignSession session({&models[0], &models[1], &models[2]});
        session.load(0, paths, cellSize);
        session.compute();  // the hull of the loaded pictures, as after "generate"
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        session.compute();  // an adjustment starts from a freshly computed master
        compute += elapsedMs(timer);
        const AdjustmentStats stats = adjustImages(
            *session.master(), session.viewPointers(), [&](int slot) { return session.shownComparison(slot); },
            parameters);
        repair += stats.repairMs;
        deform += stats.deformMs;
        timer.restart();
        session.recompute();
        recompute += elapsedMs(timer);
        benchmark::DoNotOptimize(session.master());
    }
    const double n = double(state.iterations());
    state.counters["compute_ms"] = compute / n;
    state.counters["repair_ms"] = repair / n;
    state.counters["deform_ms"] = deform / n;
    state.counters["recompute_ms"] = recompute / n;
    qInstallMessageHandler(nullptr);
}

}  // namespace

BENCHMARK(BM_OptimizePass)->Arg(5)->Arg(3)->Unit(benchmark::kMillisecond)->MinTime(2.0);
