// kalvex-cli contour: the volume of a scene file (or the hull of three
// pictures) contoured into a triangle mesh, written as it comes out.

#include "CliSupport.h"

#include "files/ResultFiles.h"
#include "files/SceneFiles.h"
#include "session/DesignSession.h"
#include "surface/VoxelContouring.h"

#include <QElapsedTimer>

#include <cstdio>
#include <string>

namespace {

const char* kContourHelp =
    "Usage: kalvex-cli contour (--scene FILE.kxscene | [--set 0|1|2] [--cell-size S] [--threshold L]\n"
    "                          [--arrange] PICTURE0 PICTURE1 PICTURE2)\n"
    "                          [--mode 0..4] [--factor F] [--iso V] --out MESH.obj\n"
    "\n"
    "Contours a volume by marching cubes on a field F times finer per axis: the volume of a\n"
    "scene file, or the shadow hull of three pictures. Writes the raw result to MESH.obj (the\n"
    "vertices in vertex-number order, in sample units, the triangles in marching order, wound\n"
    "toward the occupied side) and prints one JSON object:\n"
    "  {\"resolution\": n, \"cells\": c, \"vertices\": V, \"faces\": F, \"ms\": t}\n"
    "and, from pictures, \"kept\" and \"placements\" as 'hull' gives them.\n"
    "With no triangle it prints vertices 0 and faces 0 and writes no file.\n"
    "\n"
    "Options:\n"
    "  --mode m      crossing placement: 0 Linear, 1 Quadratic, 2 Cubic, 3 Catmull-Rom (default),\n"
    "                4 Cubic-BSpline (gives no triangle)\n"
    "  --factor F    field factor, 1 to 8 (default 3)\n"
    "  --iso V       iso-value, above 0 and below 1 (default 0.8)\n"
    "  --set, --cell-size, --threshold, --arrange   as for 'hull'\n"
    "\n"
    "Bad usage, an unreadable or corrupt scene file or an unusable picture: one line on stderr,\n"
    "exit code 2, nothing written.\n";

}  // namespace

int runContour(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, cli::pictureValueOptions() << "--scene" << "--mode" << "--factor" << "--iso" << "--out",
        {"--help", "--arrange"});
    if (parsed.has("--help")) {
        std::fputs(kContourHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    const QString out = parsed.value("--out").value_or(QString());
    if (out.isEmpty())
        return cli::fail(QStringLiteral("contour needs --out MESH.obj (try --help)"));
    const std::optional<QString> scene = parsed.value("--scene");
    if (scene ? !parsed.positional.isEmpty() : parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("contour needs --scene FILE or exactly three pictures (try --help)"));

    int mode = CATMULL_ROM_INTERPOLATION, factor = 3;
    float iso = 0.8f;
    if (const auto text = parsed.value("--mode")) {
        bool ok = false;
        mode = text->toInt(&ok);
        if (!ok || mode < LINEAR_INTERPOLATION || mode > CUBIC_BSPLINE_INTERPOLATION)
            return cli::fail(QStringLiteral("--mode must be 0, 1, 2, 3 or 4"));
    }
    if (const auto text = parsed.value("--factor")) {
        bool ok = false;
        factor = text->toInt(&ok);
        if (!ok || factor < 1 || factor > 8)
            return cli::fail(QStringLiteral("--factor must be a whole number from 1 to 8"));
    }
    if (const auto text = parsed.value("--iso")) {
        const auto number = cli::parseNumber(*text);
        if (!number || !(*number > 0.0 && *number < 1.0))
            return cli::fail(QStringLiteral("--iso must be a number above 0 and below 1"));
        iso = static_cast<float>(*number);
    }

    DesignSession session;
    if (scene) {
        if (const Report opened = openScene(session, *scene); !opened.ok())
            return cli::fail(opened.error());
    } else {
        cli::PictureOptions options;
        if (const QString problem = cli::parsePictureOptions(parsed, options); !problem.isEmpty())
            return cli::fail(problem);
        if (const QString problem =
                cli::loadPictures(session, parsed.positional, options, DesignSession::Pictures::Plain);
            !problem.isEmpty())
            return cli::fail(problem);
        // An empty hull contours to nothing; the JSON says so.
        static_cast<void>(session.compute().ok());
    }

    QElapsedTimer timer;
    timer.start();
    const Result<TriMesh> contoured = session.volume().contour(iso, mode, factor);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const std::size_t vertices = contoured.ok() ? contoured.value().vertices.size() : 0;
    const std::size_t faces = contoured.ok() ? contoured.value().faces.size() : 0;
    if (faces > 0)
        if (const Report saved = saveMesh(contoured.value(), out); !saved.ok())
            return cli::fail(saved.error());
    const std::string json = "{\"resolution\": " + std::to_string(session.volume().resolution()) +
                             ", \"cells\": " + std::to_string(session.volume().counts().cells) +
                             ", \"vertices\": " + std::to_string(vertices) + ", \"faces\": " + std::to_string(faces) +
                             ", \"ms\": " + cli::jsonNumber(ms) +
                             (scene ? std::string() : ", " + cli::keptJson(session) + ", " + cli::placementsJson(session)) +
                             "}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
