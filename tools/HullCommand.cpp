// kalvex-cli hull: the shadow hull of three pictures, as the window computes
// it on a first load, reported as one JSON object.

#include "CliSupport.h"

#include "deform/Comparison.h"
#include "volume/VolumeBuilder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <string>

namespace {

const char* kHullHelp =
    "Usage: kalvex-cli hull [--set 0|1|2] [--cell-size S] [--mesh OUT.obj] [--shadows DIR]\n"
    "                       PICTURE0 PICTURE1 PICTURE2\n"
    "\n"
    "Builds the shadow hull of three pictures (dark figure on light ground; a pixel is dark\n"
    "when red, green and blue are all below 100) and prints one JSON object on stdout:\n"
    "  resolution   N, cells per axis (floor(250 / S))\n"
    "  cell_size    S\n"
    "  cells        occupied cells of the hull\n"
    "  views        per picture: mode, dark (dark map pixels), shadow (pixels the hull shades),\n"
    "               missing (dark but not shaded), extra (shaded but light)\n"
    "  timings_ms   load, quantize, build, mesh\n"
    "\n"
    "Options:\n"
    "  --set 0|1|2      projection set: 0 = X, Y, Z (default); 1 = X, Y, 45 degrees;\n"
    "                   2 = X, 60 degrees, 120 degrees\n"
    "  --cell-size S    voxel edge in picture pixels, 1 to 250 (default 5)\n"
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

int countNonWhite(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != 0xFFFFFFFF ? 1 : 0;
    return count;
}

}  // namespace

int runHull(const QStringList& args)
{
    const cli::ParsedArgs parsed =
        cli::parseArgs(args, {"--set", "--cell-size", "--mesh", "--shadows"}, {"--help"});
    if (parsed.has("--help")) {
        std::fputs(kHullHelp, stdout);
        return 0;
    }
    if (!parsed.error.isEmpty())
        return cli::fail(parsed.error);
    if (parsed.positional.size() != 3)
        return cli::fail(QStringLiteral("hull needs exactly three pictures (try --help)"));

    int set = 0;
    double cellSize = 5.0;
    if (const QString problem = cli::parseSetAndCellSize(parsed, set, cellSize); !problem.isEmpty())
        return cli::fail(problem);
    const QString meshPath = parsed.value("--mesh").value_or(QString());
    const QString shadowDir = parsed.value("--shadows").value_or(QString());
    const std::array<int, 3> modes = *projectionSetModes(set);
    const float cs = static_cast<float>(cellSize);

    QElapsedTimer timer;
    timer.start();
    std::vector<ShadowObject> views;
    views.reserve(3);
    for (int k = 0; k < 3; ++k) {
        const QString& path = parsed.positional[k];
        views.emplace_back(path, 0, modes[k], nullptr, cs, false);
        if (views.back()._image.isNull())
            return cli::fail(QStringLiteral("cannot read picture %1").arg(path));
    }
    const double loadMs = elapsedMs(timer);

    quantizeViews(views);
    for (const ShadowObject& view : views)
        if (!view.hasDarkPixels())
            return cli::fail(QStringLiteral("picture %1 has no dark pixel").arg(view._source_path));
    const double quantizeMs = elapsedMs(timer);

    std::unique_ptr<ShadowObject> master = buildMaster(views, cs);
    const double buildMs = elapsedMs(timer);
    master->_hollow = false;
    TriMesh* mesh = master->buildShadowMesh();
    const double meshMs = elapsedMs(timer);

    std::vector<ShadowObject*> viewPointers;
    for (ShadowObject& v : views)
        viewPointers.push_back(&v);

    if (!shadowDir.isEmpty() && !QDir().mkpath(shadowDir))
        return cli::fail(QStringLiteral("cannot create folder %1").arg(shadowDir));
    if (!meshPath.isEmpty() && !mesh->write(meshPath.toLocal8Bit().constData()))
        return cli::fail(QStringLiteral("cannot write mesh %1").arg(meshPath));

    std::string json = "{\"resolution\": " + std::to_string(master->resolution()) +
                       ", \"cell_size\": " + cli::jsonNumber(cs) +
                       ", \"cells\": " + std::to_string(countOccupiedCells(*master)) + ", \"views\": [";
    for (int k = 0; k < 3; ++k) {
        const int mode = modes[k];
        const QImage comparison = comparisonImage(*master, mode, viewPointers);
        const ComparisonCounts counts = countComparison(comparison);
        if (!shadowDir.isEmpty()) {
            const QString file = QDir(shadowDir).filePath(QStringLiteral("view%1.png").arg(k));
            if (!comparison.save(file))
                return cli::fail(QStringLiteral("cannot write %1").arg(file));
        }
        json += (k ? ", " : "") + std::string("{\"mode\": ") + std::to_string(mode) +
                ", \"dark\": " + std::to_string(views[k]._image_map.count()) +
                ", \"shadow\": " + std::to_string(countNonWhite(master->renderShadow(mode))) +
                ", \"missing\": " + std::to_string(counts.missing) + ", \"extra\": " + std::to_string(counts.extra) +
                "}";
    }
    json += "], \"timings_ms\": {\"load\": " + cli::jsonNumber(loadMs) + ", \"quantize\": " +
            cli::jsonNumber(quantizeMs) + ", \"build\": " + cli::jsonNumber(buildMs) +
            ", \"mesh\": " + cli::jsonNumber(meshMs) + "}}\n";
    std::fputs(json.c_str(), stdout);
    return 0;
}
