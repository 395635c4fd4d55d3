// kalvex-cli sculpt: from three pictures to files a slicer prints, in one
// command: hull, optimise passes, one piece, contour, checks, files.

#include "CliSupport.h"

#include "files/PrintFiles.h"
#include "files/ResultFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

const char* kSculptHelp =
    "Usage: kalvex-cli sculpt [--set 0|1|2] [--cell-size S] [--threshold L] [--no-arrange]\n"
    "                         [--passes n] [--no-keep] [--size-mm L] [--mode M] [--factor F]\n"
    "                         [--iso V] --out DIR PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "From three pictures to a print: places the pictures on the canvas so that the worst view\n"
    "keeps as much of its figure as possible (as 'hull --arrange'), builds the shadow hull, runs n\n"
    "optimise passes (default 4) that deform the pictures towards agreement and keeps the best of\n"
    "the states after 0..n passes (the one whose worst view keeps the most of its figure), then\n"
    "adds and frees cells so that the worst view keeps more (its shadow may then fall a little\n"
    "outside another figure), joins the volume into one piece, contours it into a smooth closed\n"
    "surface and checks it. Writes DIR/sculpture.stl, DIR/sculpture.3mf (longest side L mm,\n"
    "default 100), DIR/sculpture.kxscene and DIR/deformed0.png .. deformed2.png (the pictures the\n"
    "sculpture casts), and prints one JSON object:\n"
    "  {\"cell_size\": S, \"cells\": C, \"components\": 1, \"triangles\": T, \"open_edges\": 0,\n"
    "   \"nonmanifold_edges\": 0, \"bridge_cells\": B, \"bridge_pixels\": P, \"size_mm\": [x, y, z],\n"
    "   \"missing\": [m0, m1, m2], \"placements\": [...], \"passes\": [{\"pass\": 0, \"kept\": [...]}, ...],\n"
    "   \"best_pass\": b, \"kept\": [k0, k1, k2], \"ms\": {...}}\n"
    "(bridge_cells: cells added to join pieces that no shadow-keeping path joins, adding P shadow\n"
    "pixels; missing: picture pixels each view misses; kept: the share of each placed figure the\n"
    "final volume's shadow keeps, intersection over union; best_pass: the state exported).\n"
    "\n"
    "Options:\n"
    "  --set, --threshold   as for 'hull'\n"
    "  --cell-size S        as for 'hull'; without it, the largest whole cell size whose cells are\n"
    "                       at most 0.8 mm in the print (the 250-pixel frame spanning L mm): 2 at\n"
    "                       the default 100 mm, 1 above 100 mm (the finest there is: above 200 mm\n"
    "                       its cells are larger than 0.8 mm)\n"
    "  --no-arrange         keep the pictures as given (fitted onto the canvas, not moved)\n"
    "  --passes n           optimise passes, 0 to 100 (default 4)\n"
    "  --no-keep            skip the step that adds and frees cells for the worst view\n"
    "  --size-mm L          the longest side of the print in millimetres (default 100)\n"
    "  --mode M, --factor F, --iso V   contouring, as for 'contour' (defaults 3, 3, 0.8)\n"
    "\n"
    "Bad usage or input: one line on stderr, exit code 2, nothing written. A surface that is not\n"
    "closed, manifold and in one part is reported the same way, with the JSON on stdout.\n";

// The largest whole cell size whose cells are at most kFinestMm in a print
// whose longest side, the 250-pixel frame at most, is `sizeMm`: cell size s
// spans s * sizeMm / 250 mm or less.
constexpr double kFinestMm = 0.8;
double printCellSize(double sizeMm)
{
    return std::clamp(std::floor(kFinestMm * 250.0 / sizeMm + 1e-9), 1.0, 250.0);
}

std::string list(const std::array<int, 3>& v)
{
    return "[" + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + "]";
}

}  // namespace

int runSculpt(const QStringList& args)
{
    const cli::ParsedArgs parsed = cli::parseArgs(
        args, cli::pictureValueOptions() << "--passes" << "--size-mm" << "--mode" << "--factor" << "--iso" << "--out",
        {"--help", "--no-arrange", "--no-keep"});
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
    int passes = 4;
    cli::PictureOptions pictureOptions;
    pictureOptions.arrange = true;
    pictureOptions.cellSize = 0.0;  // chosen from the size of the print when not given
    if (const QString problem = cli::parsePictureOptions(parsed, pictureOptions); !problem.isEmpty())
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
    if (pictureOptions.cellSize == 0.0)
        pictureOptions.cellSize = printCellSize(double(options.sizeMm));

    QElapsedTimer timer;
    timer.start();
    DesignSession session;
    if (const QString problem = cli::loadPictures(session, parsed.positional, pictureOptions); !problem.isEmpty())
        return cli::fail(problem);
    const double arrangeMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    if (const Report built = session.compute(); !built.ok())
        return cli::fail(built.error());
    std::string passesJson;
    const Result<int> best = session.optimizeToBest(passes, AdjustParameters(), [&](int pass, const KeptValues&) {
        passesJson += (pass ? ", {\"pass\": " : "{\"pass\": ") + std::to_string(pass) + ", " +
                      cli::keptJson(session) + "}";
    });
    if (!best.ok())
        return cli::fail(best.error());
    const double optimizeMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    if (!parsed.has("--no-keep"))
        if (const Report kept = session.keepFigure(); !kept.ok())
            return cli::fail(kept.error());
    const double keepMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    const Result<Sculpture> made = session.volume().sculpture(options);
    if (!made.ok())
        return cli::fail(made.error());
    const double sculptMs = double(timer.nsecsElapsed()) / 1e6;
    const Sculpture& sculpture = made.value();
    const MeshCheck& check = sculpture.check;
    std::string json = "{\"cell_size\": " + cli::jsonNumber(pictureOptions.cellSize) +
                       ", \"cells\": " + std::to_string(sculpture.cells) +
                       ", \"components\": " + std::to_string(check.parts) +
                       ", \"triangles\": " + std::to_string(sculpture.mesh.faces.size()) +
                       ", \"open_edges\": " + std::to_string(check.openEdges) +
                       ", \"nonmanifold_edges\": " + std::to_string(check.nonManifoldEdges) +
                       ", \"bridge_cells\": " + std::to_string(sculpture.bridgeCells) +
                       ", \"bridge_pixels\": " + std::to_string(sculpture.bridgePixels) + ", \"size_mm\": [" +
                       cli::jsonNumber(sculpture.sizeMm[0]) + ", " + cli::jsonNumber(sculpture.sizeMm[1]) + ", " +
                       cli::jsonNumber(sculpture.sizeMm[2]) + "], \"missing\": " + list(session.volume().counts().missing) +
                       ", " + cli::placementsJson(session) + ", \"passes\": [" + passesJson +
                       "], \"best_pass\": " + std::to_string(best.value()) + ", " + cli::keptJson(session) +
                       ", \"ms\": {\"arrange\": " + cli::jsonNumber(arrangeMs) +
                       ", \"optimize\": " + cli::jsonNumber(optimizeMs) + ", \"keep\": " + cli::jsonNumber(keepMs) +
                       ", \"sculpt\": " + cli::jsonNumber(sculptMs);
    if (!check.printable()) {
        std::fputs((json + "}}\n").c_str(), stdout);
        return cli::fail(QStringLiteral("the surface is not closed, manifold, wound outward and in one part; nothing written"));
    }

    // The sculpture made above is the one written: the pictures it casts,
    // both files and the scene beside them.
    timer.restart();

    if (const Report saved = saveDeformedPictures(session, outDir); !saved.ok())
        return cli::fail(saved.error());
    ScenePictures scenePictures;
    for (int k = 0; k < 3; ++k) {
        scenePictures[std::size_t(k)] = session.pictures().viewPicture(k);
        scenePictures[std::size_t(k) + 3] = session.pictures().picture(k).rendering();
    }
    const QDir dir(outDir);
    const QStringList files{dir.filePath(QStringLiteral("sculpture.stl")), dir.filePath(QStringLiteral("sculpture.3mf"))};
    if (const Report exported = exportSculpture(session, sculpture, files, scenePictures); !exported.ok())
        return cli::fail(exported.error());
    json += ", \"write\": " + cli::jsonNumber(double(timer.nsecsElapsed()) / 1e6) + "}}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
