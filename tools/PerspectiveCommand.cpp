// kalvex-cli perspective: the point-light design without a window. Loads the
// views (the built-in example or pictures with cameras), builds the volume,
// runs optimise passes and reports the comparison counts after each pass.

#include "CliSupport.h"

#include "files/ResultFiles.h"
#include "session/DesignSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <string>

namespace {

const char* kPerspectiveHelp =
    "Usage: kalvex-cli perspective [--view PICTURE cx cy cz lx ly lz ux uy uz f size]...\n"
    "                              [--threshold L] [--passes n] [--min-size s] [--preserve-shape]\n"
    "                              [--out DIR]\n"
    "\n"
    "Builds the volume for point lights: a 50 x 50 x 50 grid of the unit cube centred at the origin,\n"
    "holding every cell that projects into the figure of every picture. Each --view adds a picture\n"
    "(the picture mesh is cached beside it as <name>_mesh.obj) cast by a pinhole camera given in\n"
    "units of that cube: centre (cx, cy, cz), look-at point (lx, ly, lz), up vector (ux, uy, uz),\n"
    "focal distance f and the whole number image size. Without --view the built-in example is used\n"
    "(IncludedData/perspective/x.png, xy.png, y.png below the working directory). Then runs n\n"
    "optimise passes (they need three views); each deforms the pictures towards cells that would\n"
    "cover missing shadow pixels and builds the volume again. Prints one JSON object:\n"
    "  {\"resolution\": N, \"initial\": {\"cells\": C, \"missing\": [m0, ...], \"extra\": [e0, ...]},\n"
    "   \"passes\": [{\"cells\": C, \"missing\": [...], \"extra\": [...], \"ms\": t}, ...]}\n"
    "with one missing and extra count per view: figure pixels without an occupied cell on them,\n"
    "shadow pixels outside the figure.\n"
    "\n"
    "Options:\n"
    "  --view PICTURE ...  a picture and its camera (11 numbers, see above); at most three\n"
    "  --threshold L       the luminance (0..255) that splits each --view picture into figure and\n"
    "                      ground; without it the figure is found automatically (dark pixels, the\n"
    "                      opaque part of a transparent picture, or an automatic threshold)\n"
    "  --passes n          optimise passes, 0 to 100 (default 4)\n"
    "  --min-size s        smallest region of missing pixels repaired, 1 to 50 (default 2)\n"
    "  --preserve-shape    pull each deformed picture back towards its shape after deforming\n"
    "  --out DIR           write DIR/volume.kxscene (the final volume, cell size 5), DIR/mask0.png ...\n"
    "                      (each view's figure mask as used, black on white) and DIR/hull.obj\n"
    "                      (the cube mesh)\n"
    "\n"
    "Bad usage, an unreadable picture, a picture without figure pixels or an unusable camera: one\n"
    "line on stderr, exit code 2.\n";

const QString kViewUsage = QStringLiteral("--view needs a picture and 11 numbers: cx cy cz lx ly lz ux uy uz f size");

std::string countsJson(const PointLights::Counts& c)
{
    auto list = [](const std::vector<int>& v) {
        std::string text = "[";
        for (std::size_t i = 0; i < v.size(); ++i)
            text += (i ? ", " : "") + std::to_string(v[i]);
        return text + "]";
    };
    return "\"cells\": " + std::to_string(c.cells) + ", \"missing\": " + list(c.missing) +
           ", \"extra\": " + list(c.extra);
}

// Reads the 11 numbers after a --view picture; false with an error.
bool parseCamera(const QStringList& numbers, PointLightCamera& camera, QString& error)
{
    double value[10];
    for (int i = 0; i < 10; ++i) {
        const auto number = cli::parseNumber(numbers[i]);
        if (!number) {
            error = kViewUsage + QStringLiteral(" ('%1' is not a number)").arg(numbers[i]);
            return false;
        }
        value[i] = *number;
    }
    bool ok = false;
    camera.imageSize = numbers[10].toInt(&ok);
    if (!ok) {
        error = kViewUsage + QStringLiteral(" (the image size '%1' is not a whole number)").arg(numbers[10]);
        return false;
    }
    camera.center = {value[0], value[1], value[2]};
    camera.lookAt = {value[3], value[4], value[5]};
    camera.up = {value[6], value[7], value[8]};
    camera.focalDistance = value[9];
    return true;
}

}  // namespace

int runPerspective(const QStringList& args)
{
    if (args.contains(QStringLiteral("--help"))) {
        std::fputs(kPerspectiveHelp, stdout);
        return 0;
    }
    // A --view takes twelve values, more than the option parser knows of.
    std::vector<PointLightView> views;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] != QLatin1String("--view")) {
            rest << args[i];
            continue;
        }
        if (i + 12 >= args.size())
            return cli::fail(kViewUsage);
        PointLightView view;
        view.picture = args[i + 1];
        QString error;
        if (!parseCamera(args.mid(i + 2, 11), view.camera, error))
            return cli::fail(error);
        views.push_back(view);
        i += 12;
    }
    const cli::ParsedArgs parsed = cli::parseArgs(rest, {"--passes", "--min-size", "--threshold", "--out"}, {"--preserve-shape"});
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (!parsed.positional.isEmpty())
        return cli::fail(QStringLiteral("perspective takes pictures only after --view (try --help)"));
    int passes = 4;
    PointLightOptions options;
    options.preserveShape = parsed.has("--preserve-shape");
    int threshold = -1;
    QString error;
    if (!cli::intOption(parsed, "--passes", 0, 100, passes, error) ||
        !cli::intOption(parsed, "--min-size", 1, 50, options.minSize, error) ||
        !cli::intOption(parsed, "--threshold", 0, 255, threshold, error))
        return cli::fail(error);
    for (PointLightView& view : views)
        view.threshold = threshold;

    DesignSession session;
    PointLights& design = session.pointLights();
    const Report loaded = views.empty() ? design.loadExample() : design.load(views, design.cellSize());
    if (!loaded.ok())
        return cli::fail(loaded.error());
    if (passes > 0 && design.viewCount() != PointLights::kMaxViews)
        return cli::fail(QStringLiteral("optimise passes need three views (give --passes 0 for fewer)"));
    const QString outDir = parsed.value("--out").value_or(QString());

    if (const Report shown = design.show(); !shown.ok())
        return cli::fail(shown.error());
    std::string json = "{\"resolution\": " + std::to_string(design.resolution()) + ", \"initial\": {" +
                       countsJson(design.counts()) + "}, \"passes\": [";
    QElapsedTimer timer;
    const Report optimized = design.optimize(
        passes, options, [&](int) { timer.start(); },
        [&](int pass) {
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            json += (pass ? ", {" : "{") + countsJson(design.counts()) + ", \"ms\": " + cli::jsonNumber(ms) + "}";
        });
    if (!optimized.ok())
        return cli::fail(optimized.error());
    json += "]}\n";

    if (!outDir.isEmpty())
        if (const Report saved = savePointLightResults(session, outDir); !saved.ok())
            return cli::fail(saved.error());
    std::fputs(json.c_str(), stdout);
    return 0;
}
