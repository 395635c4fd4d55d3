// One pass of the workflow's "optimize" on the bundled bird pictures (X, Y, Z
// views), at cell sizes 5 and 3: the adjustment (a volume computed from the
// views, the repair steps, the picture deformation) and the rebuild from the
// deformed pictures. Each iteration starts from the freshly loaded pictures.
#include "BenchSupport.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Copies of the pictures in a temporary folder: loading writes picture-mesh
// caches beside them.
DesignSession::PictureFiles birdPictures(const QTemporaryDir& dir)
{
    DesignSession::PictureFiles paths;
    for (int k = 0; k < 3; ++k) {
        const QString name = QStringLiteral("bird%1.png").arg(k + 1);
        paths[std::size_t(k)] = dir.filePath(name);
        QFile::copy(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/") + name, paths[std::size_t(k)]);
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
    const float cellSize = float(state.range(0));
    QTemporaryDir dir;
    const DesignSession::PictureFiles paths = birdPictures(dir);
    AdjustParameters parameters;
    parameters.preserveShape = true;

    double adjust = 0, recompute = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DesignSession session;
        mustRun(session.load({.paths = paths, .cellSize = cellSize}));
        mustRun(session.compute());  // the hull of the loaded pictures, as after "generate"
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        mustRun(session.adjust(parameters));
        adjust += elapsedMs(timer);
        mustRun(session.recompute());
        recompute += elapsedMs(timer);
        benchmark::DoNotOptimize(session.volume().master());
    }
    const double n = double(state.iterations());
    state.counters["adjust_ms"] = adjust / n;
    state.counters["recompute_ms"] = recompute / n;
}

}  // namespace

BENCHMARK(BM_OptimizePass)->Arg(5)->Arg(3)->Unit(benchmark::kMillisecond)->MinTime(2.0);
