// The printing pipeline at full resolution (cell size 1, N = 250) on bundled
// pictures, as `kalvex-cli sculpt --cell-size 1 --passes 0` runs it: the keep
// step, the whole sculpture, and its steps one by one (making the volume one
// piece, bridging the pieces left, contouring, the mesh check, the two file
// writers).
#include "session/DesignSession.h"
#include "surface/MeshWriters.h"
#include "surface/PrintableMesh.h"
#include "surface/VoxelContouring.h"
#include "volume/Components.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

namespace {

// The hull of a bundled picture set at a cell size, loaded like the command
// loads it (deformable pictures, no pass; arranged on the canvas when
// `arranged`) in projection set `set`; made once per process.
DesignSession& hullOf(const std::string& preset, float cellSize, bool arranged = false, int set = 0)
{
    // Never destroyed: the grid pool they return their grids to may be gone at exit.
    static auto* sessions = new std::map<std::tuple<std::string, float, bool, int>, std::unique_ptr<DesignSession>>;
    std::unique_ptr<DesignSession>& session = (*sessions)[{preset, cellSize, arranged, set}];
    if (!session) {
        const QDir folder(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/") + QString::fromStdString(preset));
        const QStringList files = folder.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
        DesignSession::PictureFiles pictures;
        for (int k = 0; k < 3; ++k)
            pictures[std::size_t(k)] = folder.filePath(files.value(k));
        session = std::make_unique<DesignSession>();
        if (!session->load({.set = set, .paths = pictures, .cellSize = cellSize}).ok() ||
            (arranged && !session->arrange().ok()) || !session->compute().ok())
            std::abort();  // the bundled pictures make a volume
    }
    return *session;
}

// The volume after the joins through addable cells and the clean-up, as the
// sculpture has it before bridging.
ShadowObject cleanedVolume(const std::string& preset, float cellSize)
{
    ShadowObject piece(*hullOf(preset, cellSize).volume().master());
    autoConnectAll(piece);
    makeOneComponent(piece, cellSize);
    return piece;
}

const Sculpture& sculptureOf(const std::string& preset, float cellSize)
{
    static auto* made = new std::map<std::pair<std::string, float>, Sculpture>;
    auto found = made->find({preset, cellSize});
    if (found == made->end())
        found =
            made->emplace(std::pair{preset, cellSize}, hullOf(preset, cellSize).volume().sculpture({}).value()).first;
    return found->second;
}

float cellSizeOf(const benchmark::State& state) { return 250.0f / float(state.range(0)); }

void BM_Sculpt(benchmark::State& state)
{
    DesignSession& session = hullOf("animals", cellSizeOf(state));
    int triangles = 0;
    for (auto _ : state)
        triangles = int(session.volume().sculpture({}).value().mesh.faces.size());
    state.counters["triangles"] = triangles;
}

// The keep step on the hull of the arranged pictures, as the command runs it
// with no optimise pass.
void keepOn(benchmark::State& state, const std::string& preset, int set)
{
    const DesignSession& session = hullOf(preset, cellSizeOf(state), true, set);
    const ShadowObject& hull = *session.volume().master();
    const DesignPictures& pictures = session.pictures();
    const ViewFigures figures =
        viewFigures({pictures.canvas(0), pictures.canvas(1), pictures.canvas(2)}, cellSizeOf(state));
    KeepReport report;
    for (auto _ : state) {
        state.PauseTiming();
        ShadowObject master(hull);
        state.ResumeTiming();
        report = keepFigure(master, figures);
    }
    state.counters["before"] = worstKept(report.before);
    state.counters["after"] = worstKept(report.after);
    state.counters["rounds"] = report.rounds;
}

// The animals, along the axes.
void BM_Keep(benchmark::State& state)
{
    keepOn(state, "animals", 0);
}

// Views in one plane: the griffin in set 1 (X, Y, 45 degrees), the walking
// man in set 2 (X, 60, 120 degrees).
void BM_KeepInPlane(benchmark::State& state)
{
    const int set = int(state.range(1));
    keepOn(state, set == 1 ? "griffin" : "walking_man", set);
}

// Joining the pieces through addable cells, then dropping the tiny ones.
void BM_OneComponent(benchmark::State& state)
{
    const ShadowObject hull(*hullOf("animals", cellSizeOf(state)).volume().master());
    for (auto _ : state) {
        state.PauseTiming();
        ShadowObject piece(hull);
        state.ResumeTiming();
        autoConnectAll(piece);
        benchmark::DoNotOptimize(makeOneComponent(piece, cellSizeOf(state)).components);
    }
}

// The music pictures leave three pieces that no shadow-keeping path joins.
void BM_Bridge(benchmark::State& state)
{
    const ShadowObject cleaned = cleanedVolume("music", cellSizeOf(state));
    Bridging bridging;
    for (auto _ : state) {
        state.PauseTiming();
        ShadowObject piece(cleaned);
        state.ResumeTiming();
        bridging = bridgePieces(piece);
    }
    state.counters["pieces"] = bridging.pieces;
    state.counters["cells"] = bridging.cells;
    state.counters["pixels"] = bridging.pixels;
}

// Cells and grid factor.
void BM_Contour(benchmark::State& state)
{
    ShadowObject piece = cleanedVolume("animals", cellSizeOf(state));
    const int n = piece.resolution(), m = n + 2;
    std::vector<std::uint8_t> occupied(std::size_t(m) * m * m, 0);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                occupied[(std::size_t(x + 1) * m + (y + 1)) * m + (z + 1)] = piece.isOccupied({x, y, z}) ? 1 : 0;
    TriMesh mesh;
    for (auto _ : state)
        contourOccupancy(m, occupied, 0.8f, CATMULL_ROM_INTERPOLATION, mesh, int(state.range(1)));
    state.counters["triangles"] = double(mesh.faces.size());
}

void BM_MeshCheck(benchmark::State& state)
{
    const TriMesh& mesh = sculptureOf("animals", cellSizeOf(state)).mesh;
    for (auto _ : state)
        benchmark::DoNotOptimize(checkMesh(mesh).parts);
}

void BM_WriteStl(benchmark::State& state)
{
    const TriMesh& mesh = sculptureOf("animals", cellSizeOf(state)).mesh;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("s.stl")).toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(writeBinaryStl(mesh, path));
}

void BM_Write3mf(benchmark::State& state)
{
    const TriMesh& mesh = sculptureOf("animals", cellSizeOf(state)).mesh;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("s.3mf")).toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(write3mf(mesh, path));
}

}  // namespace

BENCHMARK(BM_Keep)->Name("Keep")->Arg(125)->Arg(250)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_KeepInPlane)->Name("KeepInPlane")->Args({125, 1})->Args({250, 1})->Args({250, 2})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Sculpt)->Name("Sculpt")->Arg(125)->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OneComponent)->Name("OneComponent")->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Bridge)->Name("Bridge")->Arg(125)->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Contour)->Name("Contour")->Args({250, 1})->Args({250, 3})->Args({250, 8})->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MeshCheck)->Name("MeshCheck")->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WriteStl)->Name("WriteStl")->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Write3mf)->Name("Write3mf")->Arg(250)->Unit(benchmark::kMillisecond)->MinTime(1.0);

namespace {

// The boundary drawing of a planar grid mesh of side x side vertices (one
// loop around it).
void BM_BoundaryLoops(benchmark::State& state)
{
    const int side = int(std::lround(std::sqrt(double(state.range(0)))));
    TriMesh mesh;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            mesh.vertices.emplace_back(float(x), float(y), 0.0f);
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const int v = y * side + x;
            mesh.faces.emplace_back(v, v + 1, v + side + 1);
            mesh.faces.emplace_back(v, v + side + 1, v + side);
        }
    for (auto _ : state) {
        std::ostringstream out;
        writeBoundaryLoops(mesh, out, 0.0f, 0.0f);
        benchmark::DoNotOptimize(out.str().size());
    }
}

}  // namespace

BENCHMARK(BM_BoundaryLoops)->Name("BoundaryLoops")->Arg(22801)->Unit(benchmark::kMillisecond)->MinTime(1.0);
