// Contouring of the shadow hull of the three bundled bird pictures (X, Y, Z
// views) at cell size 3 (n = 83) on a field three times finer, iso-value 0.8:
// "Contour/83" in Catmull-Rom placement, "Contour/83/mode:m" for each
// placement rule that marches (0 Linear .. 3 Catmull-Rom).
#include "BenchSupport.h"
#include "session/DesignSession.h"
#include "volume/VolumeContouring.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

constexpr int kFactor = 3;
constexpr float kIso = 0.8f;

void BM_Contour(benchmark::State& state, int mode)
{
    DesignSession session;
    const QString folder = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/");
    mustRun(session.load({.paths = {folder + "bird1.png", folder + "bird2.png", folder + "bird3.png"},
                          .cellSize = 3.0f,
                          .how = DesignSession::Pictures::Plain}));
    mustRun(session.compute());
    ShadowObject& hull = *session.volume().master();
    TriMesh mesh;
    for (auto _ : state) {
        benchmark::DoNotOptimize(contourVolume(hull, kIso, mode, mesh, kFactor));
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = double(mesh.vertices.size());
    state.counters["faces"] = double(mesh.faces.size());
}

}  // namespace

BENCHMARK_CAPTURE(BM_Contour, catmull_rom, int(CATMULL_ROM_INTERPOLATION))->Name("Contour/83")
    ->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Contour, linear, int(LINEAR_INTERPOLATION))->Name("Contour/83/mode:0")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(BM_Contour, quadratic, int(QUADRATIC_INTERPOLATION))->Name("Contour/83/mode:1")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(BM_Contour, cubic, int(CUBIC_INTERPOLATION))->Name("Contour/83/mode:2")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(BM_Contour, catmull_rom_again, int(CATMULL_ROM_INTERPOLATION))->Name("Contour/83/mode:3")
    ->Unit(benchmark::kMillisecond)->MinTime(0.5);
