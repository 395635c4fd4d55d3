// kalvex-cli fill: the example-based completion without a window. Builds the
// hull of three pictures, optionally optimises it, makes it one component,
// then fills it with copies of the bundled example models and reports how
// close the result lies to the volume's smooth surface.

#include "CliSupport.h"

#include "example/ExampleCompletion.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* kFillHelp =
    "Usage: kalvex-cli fill [--set 0|1|2] [--cell-size S] [--passes n] [--refine k] [--seed s]\n"
    "                       [--out DIR] PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Runs the workflow's \"perform example-based filling\": builds the shadow hull, runs n optimise\n"
    "passes (as 'optimize' does), makes the volume one component, contours it into its smooth\n"
    "surface, places copies of the four bundled example models at the pictures' shadow pixels\n"
    "(each pulled onto the surface by 3 registration steps) and refines every placement with k\n"
    "point-to-point registration steps. Prints one JSON object:\n"
    "  {\"cells\": C, \"placements\": P, \"kept\": K, \"vertices\": V, \"faces\": F,\n"
    "   \"mean_sq_distance\": {\"placed\": a, \"refined\": b}, \"ms\": {\"prepare\": t1, \"place\": t2, \"refine\": t3}}\n"
    "where mean_sq_distance is the mean squared distance (grid units) from the result's vertices\n"
    "to the nearest vertex of the smooth surface after placing and after refining (null with k = 0).\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2        projection set: 0 = X, Y, Z (default); 1 = X, Y, 45; 2 = X, 60, 120\n"
    "  --cell-size S      voxel edge in picture pixels, 1 to 250 (default 5); the models are sized\n"
    "                     for it\n"
    "  --passes n         optimise passes before filling, 0 to 100 (default 0)\n"
    "  --refine k         refinement steps per placement, 0 to 1000 (default 10)\n"
    "  --seed s           seed of the random placement choices (default: the C library's own)\n"
    "  --out DIR          write DIR/sculpture.obj (the result), one OBJ per kept placement\n"
    "                     DIR/exampleBasedResults/output100.obj, output101.obj, ..., the POV-Ray\n"
    "                     scene DIR/current_scene.pov with DIR/current_scene_mesh.pov, and the\n"
    "                     one-component step's DIR/shadow_mesh.obj and DIR/cluster_centroid.vtx\n"
    "\n"
    "Bad usage, an unusable picture or a volume where no model can be placed: one line on\n"
    "stderr, exit code 2.\n";

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int runFill(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, {"--set", "--cell-size", "--passes", "--refine", "--seed", "--out"}, {"--help"});
    if (parsed.has("--help")) {
        std::fputs(kFillHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("fill needs exactly three pictures (try --help)"));

    int set = 0;
    double cellSize = 5.0;
    if (const QString problem = cli::parseSetAndCellSize(parsed, set, cellSize); !problem.isEmpty())
        return cli::fail(problem);
    long long passes = 0, refine = ExampleCompletion::kRefineIterations, seed = -1;
    QString error;
    if (!cli::intOption(parsed, "--passes", 0, 100, passes, error) ||
        !cli::intOption(parsed, "--refine", 0, 1000, refine, error) ||
        !cli::intOption(parsed, "--seed", 0, 4294967295LL, seed, error))
        return cli::fail(error);
    if (seed >= 0)
        std::srand(static_cast<unsigned>(seed));

    const QString outDir = parsed.value("--out").value_or(QString());
    if (!outDir.isEmpty() && !QDir().mkpath(outDir))
        return cli::fail(QStringLiteral("Cannot create folder %1.").arg(outDir));
    // The one-component step writes its files somewhere; without --out they go.
    QTemporaryDir scratch;
    const QString folder = outDir.isEmpty() ? scratch.path() : outDir;
    if (folder.isEmpty())
        return cli::fail(QStringLiteral("Cannot create a temporary folder."));

    DesignSession session;
    const DesignSession::PictureFiles pictures{parsed.positional[0], parsed.positional[1], parsed.positional[2]};
    const auto how = passes > 0 ? DesignSession::Pictures::Deformable : DesignSession::Pictures::Plain;
    if (const Report loaded = session.load(set, pictures, static_cast<float>(cellSize), false, how); !loaded.ok)
        return cli::fail(loaded.message);
    session.compute();
    if (passes > 0) {
        AdjustParameters parameters;
        parameters.preserveShape = false;  // as 'optimize' without --preserve-shape
        if (const Report optimized = session.optimize(int(passes), parameters); !optimized.ok)
            return cli::fail(optimized.message);
    }
    if (const Report joined = session.makeOneComponent(folder); !joined.ok)
        return cli::fail(joined.message.isEmpty() ? QStringLiteral("No volume to fill.") : joined.message);

    ExampleCompletion completion;
    const Result<int> loaded = completion.loadDatabase(
        QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/example_based_models"), static_cast<float>(cellSize));
    if (!loaded.ok())
        return cli::fail(loaded.error);

    QElapsedTimer timer;
    timer.start();
    if (const Result<int> prepared = completion.prepare(*session.master()); !prepared.ok())
        return cli::fail(prepared.error);
    const double prepareMs = msSince(timer);
    timer.start();
    const Result<int> placed = completion.place();
    if (!placed.ok())
        return cli::fail(placed.error);
    const double placeMs = msSince(timer);
    const double placedDistance = completion.meanSquaredDistance();
    double refineMs = 0.0;
    std::string refinedDistance = "null";
    if (refine > 0) {
        timer.start();
        const Result<int> refined = completion.refine(ExampleCompletion::kRefineSelector, int(refine),
                                                      ExampleCompletion::kRefineMaxSquaredDistance);
        if (!refined.ok())
            return cli::fail(refined.error);
        refineMs = msSince(timer);
        refinedDistance = cli::jsonNumber(completion.meanSquaredDistance());
    }

    if (!outDir.isEmpty()) {
        const QString meshFile = QDir(outDir).filePath(QStringLiteral("sculpture.obj"));
        if (!completion.resultMesh().write(QFile::encodeName(meshFile).constData()))
            return cli::fail(QStringLiteral("Cannot write %1.").arg(meshFile));
        if (completion.keptCount() > 0)
            if (const Result<QString> saved = completion.saveSeparateMeshes(outDir); !saved.ok())
                return cli::fail(saved.error);
        if (const Result<QString> saved = completion.savePovScene(outDir); !saved.ok())
            return cli::fail(saved.error);
    }

    const TriMesh& result = completion.resultMesh();
    const std::string json =
        "{\"cells\": " + std::to_string(session.counts().cells) + ", \"placements\": " +
        std::to_string(completion.placements().size()) + ", \"kept\": " + std::to_string(completion.keptCount()) +
        ", \"vertices\": " + std::to_string(result.vertices.size()) + ", \"faces\": " +
        std::to_string(result.faces.size()) + ", \"mean_sq_distance\": {\"placed\": " +
        cli::jsonNumber(placedDistance) + ", \"refined\": " + refinedDistance + "}, \"ms\": {\"prepare\": " +
        cli::jsonNumber(prepareMs) + ", \"place\": " + cli::jsonNumber(placeMs) + ", \"refine\": " +
        cli::jsonNumber(refineMs) + "}}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
