// kalvex-cli hull: the shadow hull of three pictures, as the window computes
// it on a first load, reported as one JSON object.

#include "CliSupport.h"

#include "files/ResultFiles.h"
#include "files/SceneFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <string>

namespace {

const char* kHullHelp =
    "Usage: kalvex-cli hull [--set 0|1|2] [--cell-size S] [--threshold L] [--arrange]\n"
    "                       [--mesh OUT.obj] [--shadows DIR] PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Builds the shadow hull of three pictures (a figure on a plain ground, in any format Qt\n"
    "reads; each is fitted onto the 250 x 250 canvas with its aspect kept) and prints one JSON\n"
    "object on stdout:\n"
    "  resolution   N, cells per axis (floor(250 / S))\n"
    "  cell_size    S\n"
    "  cells        occupied cells of the hull\n"
    "  views        per picture: mode, dark (dark map pixels), shadow (pixels the hull shades),\n"
    "               missing (dark but not shaded), extra (shaded but light)\n"
    "  kept         per picture, the share of its figure the hull's shadow keeps (intersection\n"
    "               over union, 0 to 1)\n"
    "  placements   per picture, its scale and shift on the canvas\n"
    "  timings_ms   load, quantize, build, mesh (0 without --mesh)\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2      projection set: 0 = X, Y, Z (default); 1 = X, Y, 45 degrees;\n"
    "                   2 = X, 60 degrees, 120 degrees\n"
    "  --cell-size S    voxel edge in picture pixels, 1 to 250 (default 5)\n"
    "  --threshold L    the figure is the side of luminance L (0..255) that does not hold the\n"
    "                   border (default: black-on-white pictures by their dark pixels -- red,\n"
    "                   green and blue below 100 --, others by an automatic threshold)\n"
    "  --arrange        choose each picture's scale and shift first, so that the worst view\n"
    "                   keeps as much of its figure as possible\n"
    "  --mesh OUT.obj   write the cube mesh of the hull as OBJ\n"
    "  --shadows DIR    write each view's N x N comparison image as DIR/view0.png .. view2.png\n"
    "                   (black: shadow as wanted, orange: missing, brown: extra)\n"
    "\n"
    "Bad usage, an unreadable picture or a picture without a dark pixel: one line on stderr,\n"
    "exit code 2, nothing written.\n";

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = timer.nsecsElapsed() / 1e6;
    timer.restart();
    return ms;
}

}  // namespace

int runHull(const QStringList& args)
{
    const cli::ParsedArgs parsed =
        cli::parseArgs(args, cli::pictureValueOptions() << "--mesh" << "--shadows", {"--help", "--arrange"});
    if (parsed.has("--help")) {
        std::fputs(kHullHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("hull needs exactly three pictures (try --help)"));

    cli::PictureOptions options;
    if (const QString problem = cli::parsePictureOptions(parsed, options); !problem.isEmpty())
        return cli::fail(problem);
    const QString meshPath = parsed.value("--mesh").value_or(QString());
    const QString shadowDir = parsed.value("--shadows").value_or(QString());

    QElapsedTimer timer;
    timer.start();
    DesignSession session;
    if (const QString problem = cli::loadPictures(session, parsed.positional, options, DesignSession::Pictures::Plain);
        !problem.isEmpty())
        return cli::fail(problem);
    const double loadMs = elapsedMs(timer);
    static_cast<void>(session.compute().ok());  // an empty hull is a result too
    timer.restart();

    double meshMs = 0.0;
    if (!meshPath.isEmpty()) {
        session.volume().setHollow(false);
        const TriMesh* mesh = session.volume().buildShadowMesh();
        meshMs = elapsedMs(timer);
        if (const Report saved = saveMesh(*mesh, meshPath); !saved.ok())
            return cli::fail(saved.error());
    }

    const DesignVolume::Counts& counts = session.volume().counts();
    std::string json = "{\"resolution\": " + std::to_string(session.volume().resolution()) +
                       ", \"cell_size\": " + cli::jsonNumber(options.cellSize) +
                       ", \"cells\": " + std::to_string(counts.cells) + ", \"views\": [";
    for (int k = 0; k < 3; ++k) {
        if (!shadowDir.isEmpty()) {
            const QString file = QDir(shadowDir).filePath(QStringLiteral("view%1.png").arg(k));
            if (const Report saved = savePicture(session.volume().comparison(k), file); !saved.ok())
                return cli::fail(saved.error());
        }
        json += (k ? ", " : "") + std::string("{\"mode\": ") + std::to_string(session.pictures().viewMode(k)) +
                ", \"dark\": " + std::to_string(session.pictures().figurePixels(k)) +
                ", \"shadow\": " + std::to_string(counts.shadow[k]) +
                ", \"missing\": " + std::to_string(counts.missing[k]) +
                ", \"extra\": " + std::to_string(counts.extra[k]) + "}";
    }
    const DesignSession::StepCounts& t = session.counts();
    json += "], " + cli::keptJson(session) + ", " + cli::placementsJson(session) + ", \"timings_ms\": {\"load\": " + cli::jsonNumber(loadMs) + ", \"quantize\": " +
            cli::jsonNumber(t.quantizeMs) + ", \"build\": " + cli::jsonNumber(t.buildMs) +
            ", \"mesh\": " + cli::jsonNumber(meshMs) + "}}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
