// kalvex-cli optimize: the workflow's optimise loop without a window. Loads
// the pictures as the window does (picture meshes cached beside them), then
// runs passes of adjustment (repair steps and picture deformation) and
// rebuild, reporting the comparison counts after each pass.

#include "CliSupport.h"

#include "files/ResultFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <string>

namespace {

const char* kOptimizeHelp =
    "Usage: kalvex-cli optimize [--set 0|1|2] [--cell-size S] [--threshold L] [--arrange]\n"
    "                           [--passes n] [--preserve-shape] [--repeats 6] [--distance 4]\n"
    "                           [--min-size 2] [--out DIR] PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Runs the workflow's \"optimize\": loads the pictures as the window does (the picture mesh is\n"
    "cached beside each picture as <name>_mesh.obj and reused by later runs), builds the hull, then\n"
    "runs n passes; each pass repairs the pictures (deforming them towards the voxels that cover\n"
    "missing shadow pixels) and rebuilds the hull from the deformed pictures. Prints one JSON object:\n"
    "  {\"resolution\": N, \"placements\": [...],\n"
    "   \"initial\": {\"cells\": C, \"missing\": [m0, m1, m2], \"extra\": [e0, e1, e2], \"kept\": [k0, k1, k2]},\n"
    "   \"passes\": [{\"cells\": C, \"missing\": [...], \"extra\": [...], \"kept\": [...], \"ms\": t}, ...]}\n"
    "(kept: the share of each placed figure, before deformation, that the volume's shadow keeps).\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2        projection set: 0 = X, Y, Z (default); 1 = X, Y, 45; 2 = X, 60, 120\n"
    "  --cell-size S      voxel edge in picture pixels, 1 to 250 (default 5)\n"
    "  --threshold L, --arrange   as for 'hull'\n"
    "  --passes n         optimise passes, 1 to 100 (default 4)\n"
    "  --preserve-shape   pull each deformed picture back towards its shape after deforming\n"
    "  --repeats r        repair steps per pass, over the views in turn, 1 to 10 (default 6)\n"
    "  --distance d       a voxel is accepted when its cost is at most d^2, 1 to 20 (default 4)\n"
    "  --min-size m       smallest region of missing pixels repaired, 1 to 50 (default 2)\n"
    "  --out DIR          write DIR/deformed0.png .. deformed2.png (250 wide, black on white)\n"
    "                     and the final cube mesh DIR/hull.obj\n"
    "\n"
    "Bad usage, an unreadable picture or a picture without a dark pixel: one line on stderr,\n"
    "exit code 2, nothing written.\n";

std::string countsJson(const DesignVolume::Counts& c)
{
    auto list = [](const std::array<int, 3>& v) {
        return "[" + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + "]";
    };
    return "\"cells\": " + std::to_string(c.cells) + ", \"missing\": " + list(c.missing) +
           ", \"extra\": " + list(c.extra);
}

}  // namespace

int runOptimize(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, cli::pictureValueOptions() << "--passes" << "--repeats" << "--distance" << "--min-size" << "--out",
        {"--help", "--preserve-shape", "--arrange"});
    if (parsed.has("--help")) {
        std::fputs(kOptimizeHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("optimize needs exactly three pictures (try --help)"));

    int passes = 4;
    cli::PictureOptions options;
    if (const QString problem = cli::parsePictureOptions(parsed, options); !problem.isEmpty())
        return cli::fail(problem);
    AdjustParameters parameters;
    parameters.preserveShape = parsed.has("--preserve-shape");
    QString error;
    if (!cli::intOption(parsed, "--passes", 1, 100, passes, error) ||
        !cli::intOption(parsed, "--repeats", 1, 10, parameters.loopCount, error) ||
        !cli::intOption(parsed, "--distance", 1, 20, parameters.distance, error) ||
        !cli::intOption(parsed, "--min-size", 1, 50, parameters.minSize, error))
        return cli::fail(error);
    const QString outDir = parsed.value("--out").value_or(QString());

    DesignSession session;
    if (const QString problem = cli::loadPictures(session, parsed.positional, options); !problem.isEmpty())
        return cli::fail(problem);

    // The same steps as the window's "optimize": an adjustment and a rebuild per pass.
    static_cast<void>(session.compute().ok());  // an empty hull shows in the counts
    std::string json = "{\"resolution\": " + std::to_string(session.volume().resolution()) + ", " +
                       cli::placementsJson(session) + ", \"initial\": {" + countsJson(session.volume().counts()) +
                       ", " + cli::keptJson(session) + "}, \"passes\": [";
    QElapsedTimer timer;
    const Report optimized = session.optimize(
        passes, parameters, [&](int) { timer.start(); },
        [&](int pass) {
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            json += (pass ? ", {" : "{") + countsJson(session.volume().counts()) + ", " + cli::keptJson(session) +
                    ", \"ms\": " + cli::jsonNumber(ms) + "}";
        });
    if (!optimized.ok())
        return cli::fail(optimized.error());
    json += "]}\n";

    if (!outDir.isEmpty()) {
        if (const Report saved = saveDeformedPictures(session, outDir); !saved.ok())
            return cli::fail(saved.error());
        session.volume().setHollow(false);
        const QString meshFile = QDir(outDir).filePath(QStringLiteral("hull.obj"));
        if (const Report saved = saveMesh(*session.volume().buildShadowMesh(), meshFile); !saved.ok())
            return cli::fail(saved.error());
    }
    std::fputs(json.c_str(), stdout);
    return 0;
}
