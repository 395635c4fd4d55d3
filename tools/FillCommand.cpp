// kalvex-cli fill: the example-based completion without a window. Builds the
// hull of three pictures, optionally optimises it, makes it one component,
// then fills it with copies of the bundled example models and reports how
// close the result lies to the volume's smooth surface.

#include "CliSupport.h"

#include "files/ResultFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* kFillHelp =
    "Usage: kalvex-cli fill [--set 0|1|2] [--cell-size S] [--threshold L] [--arrange] [--passes n]\n"
    "                       [--refine k] [--seed s] [--out DIR] PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Runs the window's steps up to \"perform example-based filling\" and \"ICP refine\": builds the\n"
    "shadow hull, runs n optimise passes (as 'optimize' does), loads the four bundled example models,\n"
    "contours the volume into its smooth surface, places copies of the models at the pictures'\n"
    "shadow pixels (each pulled onto the surface by 3 registration steps) and refines every\n"
    "placement with k point-to-point registration steps. Prints one JSON object:\n"
    "  {\"cells\": C, \"placements\": P, \"kept\": K, \"vertices\": V, \"faces\": F,\n"
    "   \"mean_sq_distance\": {\"placed\": a, \"refined\": b}, \"ms\": {\"prepare\": t1, \"place\": t2, \"refine\": t3}}\n"
    "where mean_sq_distance is the mean squared distance (grid units) from the result's vertices\n"
    "to the nearest vertex of the smooth surface after placing and after refining (null with k = 0).\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2        projection set: 0 = X, Y, Z (default); 1 = X, Y, 45; 2 = X, 60, 120\n"
    "  --threshold L, --arrange   as for 'hull'\n"
    "  --cell-size S      voxel edge in picture pixels, 1 to 250 (default 5); the models are sized\n"
    "                     for it\n"
    "  --passes n         optimise passes before filling, 0 to 100 (default 0)\n"
    "  --refine k         refinement steps per placement, 0 to 1000 (default 10)\n"
    "  --seed s           seed of the random placement choices (default: the C library's own)\n"
    "  --out DIR          write DIR/sculpture.obj (the result), one OBJ per kept placement\n"
    "                     DIR/exampleBasedResults/output100.obj, output101.obj, ..., the POV-Ray\n"
    "                     scene DIR/current_scene.pov with DIR/current_scene_mesh.pov\n"
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
        args, cli::pictureValueOptions() << "--passes" << "--refine" << "--seed" << "--out", {"--help", "--arrange"});
    if (parsed.has("--help")) {
        std::fputs(kFillHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("fill needs exactly three pictures (try --help)"));

    cli::PictureOptions options;
    if (const QString problem = cli::parsePictureOptions(parsed, options); !problem.isEmpty())
        return cli::fail(problem);
    long long passes = 0, refine = 10, seed = -1;
    QString error;
    if (!cli::intOption(parsed, "--passes", 0, 100, passes, error) ||
        !cli::intOption(parsed, "--refine", 0, 1000, refine, error) ||
        !cli::intOption(parsed, "--seed", 0, 4294967295LL, seed, error))
        return cli::fail(error);
    if (seed >= 0)
        std::srand(static_cast<unsigned>(seed));
    const QString outDir = parsed.value("--out").value_or(QString());

    // The window's steps: generate, optimise passes, the models loaded at
    // "done with this stage ...", "perform example-based filling", "ICP refine".
    DesignSession session;
    const auto how = passes > 0 ? DesignSession::Pictures::Deformable : DesignSession::Pictures::Plain;
    if (const QString problem = cli::loadPictures(session, parsed.positional, options, how); !problem.isEmpty())
        return cli::fail(problem);
    if (const Report computed = session.compute(); !computed.ok())
        return cli::fail(computed.error());
    if (passes > 0) {
        AdjustParameters parameters;
        parameters.preserveShape = false;  // as 'optimize' without --preserve-shape
        if (const Report optimized = session.optimize(int(passes), parameters); !optimized.ok())
            return cli::fail(optimized.error());
    }
    const QString models = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/example_based_models");
    Filling& filling = session.filling();
    if (const Report loaded = filling.loadModels(models); !loaded.ok())
        return cli::fail(loaded.error());
    if (const Report filled = filling.fill(models); !filled.ok())
        return cli::fail(filled.error());
    const double placedDistance = filling.meanSquaredDistance();
    double refineMs = 0.0;
    std::string refinedDistance = "null";
    if (refine > 0) {
        QElapsedTimer timer;
        timer.start();
        if (const Report refined = filling.refine(int(refine)); !refined.ok())
            return cli::fail(refined.error());
        refineMs = msSince(timer);
        refinedDistance = cli::jsonNumber(filling.meanSquaredDistance());
    }

    if (!outDir.isEmpty()) {
        if (const Report saved = saveMesh(*filling.sculpture(), QDir(outDir).filePath(QStringLiteral("sculpture.obj")));
            !saved.ok())
            return cli::fail(saved.error());
        if (filling.keptCount() > 0)
            if (const Report saved = saveExampleMeshes(session, outDir); !saved.ok())
                return cli::fail(saved.error());
        if (const Report saved = saveExamplePovScene(session, outDir); !saved.ok())
            return cli::fail(saved.error());
    }

    const TriMesh& result = *filling.sculpture();
    const Filling::Timings& t = filling.lastTimings();
    const std::string json =
        "{\"cells\": " + std::to_string(session.volume().counts().cells) + ", \"placements\": " +
        std::to_string(filling.placementCount()) + ", \"kept\": " + std::to_string(filling.keptCount()) +
        ", \"vertices\": " + std::to_string(result.vertices.size()) + ", \"faces\": " +
        std::to_string(result.faces.size()) + ", \"mean_sq_distance\": {\"placed\": " +
        cli::jsonNumber(placedDistance) + ", \"refined\": " + refinedDistance + "}, \"ms\": {\"prepare\": " +
        cli::jsonNumber(t.prepare) + ", \"place\": " + cli::jsonNumber(t.place) + ", \"refine\": " +
        cli::jsonNumber(refineMs) + "}}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
