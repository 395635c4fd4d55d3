// kalvex-cli sculpt: from three pictures to files a slicer prints, in one
// command: hull, optimise passes, one piece, contour, checks, files.

#include "CliSupport.h"

#include "files/PrintFiles.h"
#include "files/ResultFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <string>

namespace {

const char* kSculptHelp =
    "Usage: kalvex-cli sculpt [--set 0|1|2] [--cell-size S] [--passes n] [--size-mm L] [--mode M]\n"
    "                         [--factor F] [--iso V] --out DIR PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Builds the shadow hull of three pictures, runs n optimise passes (default 4) that deform the\n"
    "pictures until they agree, joins the volume into one piece, contours it into a smooth closed\n"
    "surface and checks it. Writes DIR/sculpture.stl, DIR/sculpture.3mf (longest side L mm,\n"
    "default 100), DIR/sculpture.kxscene and DIR/deformed0.png .. deformed2.png (the pictures the\n"
    "sculpture casts), and prints one JSON object:\n"
    "  {\"cells\": C, \"components\": 1, \"triangles\": T, \"open_edges\": 0, \"nonmanifold_edges\": 0,\n"
    "   \"size_mm\": [x, y, z], \"missing\": [m0, m1, m2], \"ms\": {...}}\n"
    "(missing: picture pixels each view still misses after the passes).\n"
    "\n"
    "Options:\n"
    "  --set, --cell-size   as for 'hull'\n"
    "  --passes n           optimise passes, 0 to 100 (default 4)\n"
    "  --size-mm L          the longest side of the print in millimetres (default 100)\n"
    "  --mode M, --factor F, --iso V   contouring, as for 'contour' (defaults 3, 3, 0.8)\n"
    "\n"
    "Bad usage or input: one line on stderr, exit code 2, nothing written. A surface that is not\n"
    "closed, manifold and in one part is reported the same way, with the JSON on stdout.\n";

std::string list(const std::array<int, 3>& v)
{
    return "[" + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + "]";
}

}  // namespace

int runSculpt(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, {"--set", "--cell-size", "--passes", "--size-mm", "--mode", "--factor", "--iso", "--out"}, {"--help"});
    if (parsed.has("--help")) {
        std::fputs(kSculptHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("sculpt needs exactly three pictures (try --help)"));
    const QString outDir = parsed.value("--out").value_or(QString());
    if (outDir.isEmpty())
        return cli::fail(QStringLiteral("sculpt needs --out DIR (try --help)"));
    int set = 0, passes = 4;
    double cellSize = 5.0;
    if (const QString problem = cli::parseSetAndCellSize(parsed, set, cellSize); !problem.isEmpty())
        return cli::fail(problem);
    SculptureOptions options;
    struct IntOption {
        const char* name;
        int low, high;
        int* value;
    };
    for (const IntOption& o : {IntOption{"--passes", 0, 100, &passes}, IntOption{"--mode", 0, 4, &options.mode},
                               IntOption{"--factor", 1, 8, &options.factor}}) {
        if (const auto text = parsed.value(QString::fromLatin1(o.name))) {
            bool ok = false;
            const int v = text->toInt(&ok);
            if (!ok || v < o.low || v > o.high)
                return cli::fail(QStringLiteral("%1 must be a whole number from %2 to %3").arg(o.name).arg(o.low).arg(o.high));
            *o.value = v;
        }
    }
    if (const auto text = parsed.value("--size-mm")) {
        const auto number = cli::parseNumber(*text);
        if (!number || !(*number > 0.0 && *number <= 10000.0))
            return cli::fail(QStringLiteral("--size-mm must be a number above 0 and at most 10000"));
        options.sizeMm = static_cast<float>(*number);
    }
    if (const auto text = parsed.value("--iso")) {
        const auto number = cli::parseNumber(*text);
        if (!number || !(*number > 0.0 && *number < 1.0))
            return cli::fail(QStringLiteral("--iso must be a number above 0 and below 1"));
        options.iso = static_cast<float>(*number);
    }

    QElapsedTimer timer;
    timer.start();
    DesignSession session;
    const DesignSession::PictureFiles pictures{parsed.positional[0], parsed.positional[1], parsed.positional[2]};
    if (const Report loaded = session.load(set, pictures, static_cast<float>(cellSize)); !loaded.ok())
        return cli::fail(loaded.error());
    static_cast<void>(session.compute().ok());  // an empty hull is refused below
    if (const Report optimized = session.optimize(passes, AdjustParameters()); !optimized.ok())
        return cli::fail(optimized.error());
    const double optimizeMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    const Result<Sculpture> made = session.sculpture(options);
    if (!made.ok())
        return cli::fail(made.error());
    const double sculptMs = double(timer.nsecsElapsed()) / 1e6;
    const Sculpture& sculpture = made.value();
    const MeshCheck& check = sculpture.check;
    std::string json = "{\"cells\": " + std::to_string(sculpture.cells) +
                       ", \"components\": " + std::to_string(check.parts) +
                       ", \"triangles\": " + std::to_string(sculpture.mesh.faces.size()) +
                       ", \"open_edges\": " + std::to_string(check.openEdges) +
                       ", \"nonmanifold_edges\": " + std::to_string(check.nonManifoldEdges) + ", \"size_mm\": [" +
                       cli::jsonNumber(sculpture.sizeMm[0]) + ", " + cli::jsonNumber(sculpture.sizeMm[1]) + ", " +
                       cli::jsonNumber(sculpture.sizeMm[2]) + "], \"missing\": " + list(session.volume().counts().missing) +
                       ", \"ms\": {\"optimize\": " + cli::jsonNumber(optimizeMs) +
                       ", \"sculpt\": " + cli::jsonNumber(sculptMs) + "}}\n";
    std::fputs(json.c_str(), stdout);
    if (!check.printable())
        return cli::fail(QStringLiteral("the surface is not closed, manifold, wound outward and in one part; nothing written"));

    if (const Report saved = saveDeformedPictures(session, outDir); !saved.ok())
        return cli::fail(saved.error());
    ScenePictures scenePictures;
    for (int k = 0; k < 3; ++k) {
        scenePictures[std::size_t(k)] = session.viewPicture(k);
        scenePictures[std::size_t(k) + 3] = session.picture(k).rendering();
    }
    const QDir dir(outDir);
    for (const char* name : {"sculpture.stl", "sculpture.3mf"}) {
        const QString file = dir.filePath(QLatin1String(name));
        if (const Report exported = exportSculpture(session, sculpture, file, scenePictures); !exported.ok())
            return cli::fail(exported.error());
    }
    return 0;
}
