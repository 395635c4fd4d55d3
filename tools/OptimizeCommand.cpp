// kalvex-cli optimize: the workflow's optimise loop without a window. Loads
// the pictures as the window does (picture meshes cached beside them), then
// runs passes of adjustment (repair steps and picture deformation) and
// rebuild, reporting the comparison counts after each pass.

#include "CliSupport.h"

#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <string>

namespace {

const char* kOptimizeHelp =
    "Usage: kalvex-cli optimize [--set 0|1|2] [--cell-size S] [--passes n] [--preserve-shape]\n"
    "                           [--repeats 6] [--distance 4] [--min-size 2] [--out DIR]\n"
    "                           PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Runs the workflow's \"optimize\": loads the pictures as the window does (the picture mesh is\n"
    "cached beside each picture as <name>_mesh.obj and reused by later runs), builds the hull, then\n"
    "runs n passes; each pass repairs the pictures (deforming them towards the voxels that cover\n"
    "missing shadow pixels) and rebuilds the hull from the deformed pictures. Prints one JSON object:\n"
    "  {\"resolution\": N, \"initial\": {\"cells\": C, \"missing\": [m0, m1, m2], \"extra\": [e0, e1, e2]},\n"
    "   \"passes\": [{\"cells\": C, \"missing\": [...], \"extra\": [...], \"ms\": t}, ...]}\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2        projection set: 0 = X, Y, Z (default); 1 = X, Y, 45; 2 = X, 60, 120\n"
    "  --cell-size S      voxel edge in picture pixels, 1 to 250 (default 5)\n"
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

std::string countsJson(const DesignSession::Counts& c)
{
    auto list = [](const std::array<int, 3>& v) {
        return "[" + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + "]";
    };
    return "\"cells\": " + std::to_string(c.cells) + ", \"missing\": " + list(c.missing) +
           ", \"extra\": " + list(c.extra);
}

// The deformed picture as saved for printing: pure black on white, 250 wide.
QImage blackOnWhite(const QImage& rendering)
{
    QImage image = rendering.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != 0xFF000000)
                image.setPixel(x, y, 0xFFFFFFFF);
    return image.scaledToWidth(250, Qt::FastTransformation);
}

}  // namespace

int runOptimize(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, {"--set", "--cell-size", "--passes", "--repeats", "--distance", "--min-size", "--out"},
        {"--help", "--preserve-shape"});
    if (parsed.has("--help")) {
        std::fputs(kOptimizeHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("optimize needs exactly three pictures (try --help)"));

    int set = 0, passes = 4;
    double cellSize = 5.0;
    if (const QString problem = cli::parseSetAndCellSize(parsed, set, cellSize); !problem.isEmpty())
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
    const DesignSession::PictureFiles pictures{parsed.positional[0], parsed.positional[1], parsed.positional[2]};
    if (const Report loaded = session.load(set, pictures, static_cast<float>(cellSize)); !loaded.ok)
        return cli::fail(loaded.message);
    if (!outDir.isEmpty() && !QDir().mkpath(outDir))
        return cli::fail(QStringLiteral("Cannot create folder %1.").arg(outDir));

    // The same steps as the window's "optimize": an adjustment and a rebuild per pass.
    session.compute();
    std::string json = "{\"resolution\": " + std::to_string(session.master()->resolution()) +
                       ", \"initial\": {" + countsJson(session.counts()) + "}, \"passes\": [";
    QElapsedTimer timer;
    const Report optimized = session.optimize(
        passes, parameters, [&](int) { timer.start(); },
        [&](int pass) {
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            json += (pass ? ", {" : "{") + countsJson(session.counts()) + ", \"ms\": " + cli::jsonNumber(ms) + "}";
        });
    if (!optimized.ok)
        return cli::fail(optimized.message);
    json += "]}\n";

    if (!outDir.isEmpty()) {
        const QDir dir(outDir);
        for (int k = 0; k < 3; ++k) {
            const QString file = dir.filePath(QStringLiteral("deformed%1.png").arg(k));
            if (!blackOnWhite(session.picture(k).rendering()).save(file))
                return cli::fail(QStringLiteral("Cannot write %1.").arg(file));
        }
        session.setHollow(false);
        const QString meshFile = dir.filePath(QStringLiteral("hull.obj"));
        if (!session.buildShadowMesh()->write(meshFile.toLocal8Bit().constData()))
            return cli::fail(QStringLiteral("Cannot write %1.").arg(meshFile));
    }
    std::fputs(json.c_str(), stdout);
    return 0;
}
