// kalvex-kept-eval: how much of each picture's figure the printed sculpture
// keeps, with and without automatic placement, the best of the optimise
// passes and the keep step.
//
// For every triple listed in DATA/triples.txt ("name group set" per line,
// pictures DATA/name/0.png .. 2.png) and every variant, the pipeline of
// `kalvex-cli sculpt` runs on placed copies of the pictures (load, compute,
// optimise passes, one piece and bridges, contouring). The score of a view is
// the intersection over union of the final volume's shadow (upsampled to the
// 250-pixel canvas) and the ORIGINAL figure at its best fit of scale and
// position, so that placing a figure is not counted as losing it; the score
// of a triple is its worst view. The exported mesh's shadow (its triangles
// projected back to picture pixels and filled) is scored the same way.
//
//   kalvex-kept-eval [--cell-size S] [--passes n] [--set S] [--group G] [--only NAME]
//                    [--variants a,b,...] [--no-mesh] DATA
//   kalvex-kept-eval --make-letters DIR NAME LETTERS   (three letters, DejaVu Sans Bold)

#include "session/DesignSession.h"
#include "volume/Arrange.h"
#include "volume/Components.h"
#include "volume/KeepFigure.h"
#include "volume/Placement.h"
#include "volume/ShadowView.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Triple {
    QString name, group;
    int set = 0;
    std::array<Figure, 3> figures;
};

struct Settings {
    float cellSize = 5.0f;
    int passes = 4;
    int set = -1;  // -1: each triple's own
    QString group = QStringLiteral("all");
    QString only;
    QStringList variants{QStringLiteral("base"), QStringLiteral("place"), QStringLiteral("best"),
                         QStringLiteral("keep0"), QStringLiteral("full")};
    bool mesh = true;
};

// What a variant does after loading the (placed) pictures.
struct Variant {
    bool arrange = false;
    bool bestPass = false;
    bool keep = false;
    int passes = -1;  // -1: the settings' passes
};

Variant variantOf(const QString& name)
{
    if (name == QLatin1String("base"))
        return {};
    if (name == QLatin1String("place"))
        return {true, false, false};
    if (name == QLatin1String("best"))
        return {true, true, false};
    if (name == QLatin1String("keep0"))
        return {true, false, true, 0};
    if (name == QLatin1String("full"))
        return {true, true, true};
    if (name == QLatin1String("basekeep"))
        return {false, true, true};
    return {};
}

double ms(QElapsedTimer& t)
{
    const double v = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    return v;
}

QString pct(double v)
{
    return QString::number(100.0 * v, 'f', 1);
}

// ---- scoring ------------------------------------------------------------------------

using Canvas = std::vector<std::uint8_t>;  // 250 x 250, row-major

// Intersection over union of the placed figure and a canvas mask; figure
// pixels beyond the canvas count as missed.
double canvasIoU(const PlacedMask& m, const Canvas& shadow, long shadowCount)
{
    long inter = 0, figure = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            if (!m.mask[std::size_t(y) * m.width + x])
                continue;
            ++figure;
            const int cx = m.left + x, cy = m.top + y;
            if (cx >= 0 && cy >= 0 && cx < kCanvasSize && cy < kCanvasSize && shadow[std::size_t(cy) * kCanvasSize + cx])
                ++inter;
        }
    const long uni = figure + shadowCount - inter;
    return uni == 0 ? 1.0 : double(inter) / double(uni);
}

// Best IoU of the original figure against a shadow canvas over scale and
// shift, by pattern search from `start`.
double bestFit(const Figure& figure, const Placement& start, const Canvas& shadow)
{
    long shadowCount = 0;
    for (std::uint8_t v : shadow)
        shadowCount += v;
    Placement p = start;
    double best = canvasIoU(placedMask(figure, p), shadow, shadowCount);
    const double shiftSteps[] = {8, 4, 2, 1, 0.5, 0.25};
    const double scaleSteps[] = {1.04, 1.02, 1.01, 1.005, 1.0025, 1.0025};
    for (int level = 0; level < 6; ++level) {
        for (int sweep = 0; sweep < 20; ++sweep) {
            bool improved = false;
            for (int move = 0; move < 6; ++move) {
                Placement t = p;
                switch (move) {
                case 0: t.dx -= shiftSteps[level]; break;
                case 1: t.dx += shiftSteps[level]; break;
                case 2: t.dy -= shiftSteps[level]; break;
                case 3: t.dy += shiftSteps[level]; break;
                case 4: t.scale *= scaleSteps[level]; break;
                case 5: t.scale /= scaleSteps[level]; break;
                }
                const double v = canvasIoU(placedMask(figure, t), shadow, shadowCount);
                if (v > best + 1e-12) {
                    best = v;
                    p = t;
                    improved = true;
                }
            }
            if (!improved)
                break;
        }
    }
    return best;
}

// The N x N shadow upsampled to the canvas: canvas pixel (u, v) shows map
// pixel (trunc((u + 0.5) / cs), trunc((v + 0.5) / cs)).
Canvas upsample(const ByteMap& shadow, float cellSize)
{
    Canvas canvas(std::size_t(kCanvasSize) * kCanvasSize, 0);
    const int n = shadow.first();
    for (int v = 0; v < kCanvasSize; ++v)
        for (int u = 0; u < kCanvasSize; ++u) {
            const int i = int((u + 0.5) / cellSize), j = int((v + 0.5) / cellSize);
            if (i < n && j < n)
                canvas[std::size_t(v) * kCanvasSize + u] = shadow.at(i, j);
        }
    return canvas;
}

// The mesh's shadow in `mode` on the canvas: its triangles projected to
// picture pixels (an oblique column as the cells' truncated column has it,
// on average) and filled.
Canvas meshShadow(const DesignSession::Sculpture& s, int mode, float cellSize)
{
    double a = 0, b = 0;  // column = a x + b y - offset (picture pixels)
    switch (mode) {
    case FortyFive_PROJECTION: a = 0.7071; b = 0.7071; break;
    case Sixty_PROJECTION: a = 0.866; b = 0.5; break;
    case OneTwenty_PROJECTION: a = 0.866; b = -0.5; break;
    default: break;
    }
    const double offset = cellSize * (a + b - 1) * 0.5;
    std::vector<QPointF> projected(s.mesh.vertices.size());
    for (std::size_t i = 0; i < projected.size(); ++i) {
        const point p = s.toPicturePixels(s.mesh.vertices[i]);
        switch (mode) {
        case X_PROJECTION: projected[i] = QPointF(p[1], p[2]); break;
        case Y_PROJECTION: projected[i] = QPointF(p[0], p[2]); break;
        case Z_PROJECTION: projected[i] = QPointF(p[0], p[1]); break;
        default: projected[i] = QPointF(a * p[0] + b * p[1] - offset, p[2]); break;
        }
    }
    QImage image(kCanvasSize, kCanvasSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (const TriMesh::Face& f : s.mesh.faces) {
            const QPointF tri[3] = {projected[std::size_t(f[0])], projected[std::size_t(f[1])], projected[std::size_t(f[2])]};
            painter.drawPolygon(tri, 3);
        }
    }
    Canvas canvas(std::size_t(kCanvasSize) * kCanvasSize, 0);
    for (int y = 0; y < kCanvasSize; ++y)
        for (int x = 0; x < kCanvasSize; ++x)
            canvas[std::size_t(y) * kCanvasSize + x] = qRed(image.pixel(x, y)) < 128 ? 1 : 0;
    return canvas;
}

struct Outcome {
    KeptValues fidelity{0, 0, 0};  // the placed figure's own map, best fit to the original
    bool ok = false;
    QString error;
    KeptValues predicted{0, 0, 0};  // arrange's hull prediction
    KeptValues keptGrid{0, 0, 0};   // final volume vs placed figure map
    KeptValues voxel{0, 0, 0};      // final volume, best fit to the original
    KeptValues mesh{0, 0, 0};       // exported mesh, best fit to the original
    int bestPass = -1;
    KeepReport keep;
    double arrangeMs = 0, loadMs = 0, optimizeMs = 0, keepMs = 0, sculptMs = 0, totalMs = 0;
};

Outcome run(const Triple& triple, const Settings& settings, const Variant& variant, int set)
{
    Outcome out;
    QElapsedTimer total, t;
    total.start();
    t.start();
    const float cs = settings.cellSize;
    std::array<Placement, 3> placements{};
    if (variant.arrange) {
        const Result<Arrangement> arranged = arrange(triple.figures, set, cs);
        if (!arranged.ok()) {
            out.error() = arranged.error();
            return out;
        }
        placements = arranged.value().placements;
        out.predicted = arranged.value().kept;
    }
    out.arrangeMs = ms(t);

    QTemporaryDir dir;
    DesignSession::PictureFiles paths;
    std::array<QImage, 3> canvases;
    for (int k = 0; k < 3; ++k) {
        const Result<QImage> canvas = placeFigure(triple.figures[std::size_t(k)], placements[std::size_t(k)]);
        if (!canvas.ok()) {
            out.error() = canvas.error();
            return out;
        }
        canvases[std::size_t(k)] = canvas.value();
        paths[std::size_t(k)] = dir.filePath(QStringLiteral("view%1.png").arg(k));
        canvas.value().save(paths[std::size_t(k)]);
    }
    if (!variant.arrange)
        out.predicted = hullKept(canvases, set, cs);
    const ViewFigures figures = viewFigures(canvases, cs);
    const FigureMaps& maps = figures.maps;

    DesignSession session;
    if (const Report r = session.load(set, paths, cs); !r.ok()) {
        out.error() = r.message;
        return out;
    }
    session.compute();
    out.loadMs = ms(t);
    BestPass best(figures);
    if (session.master())
        best.offer(*session.master(), 0);
    const int passes = variant.passes >= 0 ? variant.passes : settings.passes;
    if (const Report r = session.optimize(passes, AdjustParameters(), {},
                                          [&](int pass) {
                                              if (variant.bestPass && session.master())
                                                  best.offer(*session.master(), pass + 1);
                                          });
        !r.ok()) {
        out.error() = r.message;
        return out;
    }
    if (!session.master()) {
        out.error() = QStringLiteral("no volume");
        return out;
    }
    if (variant.bestPass) {
        best.restore(*session.master());
        out.bestPass = best.bestPass();
    }
    out.optimizeMs = ms(t);
    if (variant.keep)
        out.keep = keepFigure(*session.master(), figures);
    out.keepMs = ms(t);

    const DesignSession::SculptureOptions options;
    const Result<DesignSession::Sculpture> made = session.sculpture(options);
    out.sculptMs = ms(t);
    out.totalMs = double(total.nsecsElapsed()) / 1e6;
    if (!made.ok()) {
        out.error() = made.error();
        return out;
    }

    // The best any volume can do at this cell size: the figure map itself.
    for (int k = 0; k < 3; ++k)
        out.fidelity[std::size_t(k)] =
            bestFit(triple.figures[std::size_t(k)], placements[std::size_t(k)], upsample(maps[std::size_t(k)], cs));

    // The volume the mesh is made of, as sculpture() makes it.
    ShadowObject piece(*session.master());
    autoConnectAll(piece);
    makeOneComponent(piece, cs, QString());
    bridgePieces(piece);
    for (int k = 0; k < 3; ++k) {
        const int mode = piece.viewModes()[std::size_t(k)];
        const ByteMap shadow = piece.castShadow(mode);
        out.keptGrid[std::size_t(k)] = keptFigure(shadow, maps[std::size_t(k)]);
        out.voxel[std::size_t(k)] = bestFit(triple.figures[std::size_t(k)], placements[std::size_t(k)], upsample(shadow, cs));
        if (settings.mesh)
            out.mesh[std::size_t(k)] =
                bestFit(triple.figures[std::size_t(k)], placements[std::size_t(k)], meshShadow(made.value(), mode, cs));
    }
    out.ok() = true;
    return out;
}

// ---- data -------------------------------------------------------------------------------

std::vector<Triple> readTriples(const QString& folder, const Settings& settings, QString& error)
{
    std::vector<Triple> triples;
    QFile list(QDir(folder).filePath(QStringLiteral("triples.txt")));
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("Cannot read %1.").arg(list.fileName());
        return {};
    }
    QTextStream in(&list);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() < 3) {
            error = QStringLiteral("Bad line in triples.txt: %1").arg(line);
            return {};
        }
        Triple t;
        t.name = parts[0];
        t.group = parts[1];
        t.set = parts[2].toInt();
        if (!settings.only.isEmpty() && !settings.only.split(QLatin1Char(',')).contains(t.name))
            continue;
        if (settings.group != QLatin1String("all") && settings.group != t.group)
            continue;
        for (int k = 0; k < 3; ++k) {
            const QString path = QDir(folder).filePath(t.name + QStringLiteral("/%1.png").arg(k));
            const Result<Figure> f = loadFigure(path);
            if (!f.ok()) {
                error = f.error();
                return {};
            }
            t.figures[std::size_t(k)] = f.value();
        }
        triples.push_back(std::move(t));
    }
    return triples;
}

// Three capital letters, each fitted into a 226-pixel square in the middle
// of a 250 x 250 picture, black on white.
int makeLetters(const QString& folder, const QString& name, const QString& letters)
{
    QDir dir(folder);
    if (letters.size() != 3 || !dir.mkpath(name)) {
        std::fputs("--make-letters DIR NAME LETTERS (three letters)\n", stderr);
        return 2;
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(400);
    for (int k = 0; k < 3; ++k) {
        QPainterPath path;
        path.addText(0, 0, font, letters.mid(k, 1));
        const QRectF box = path.boundingRect();
        const double scale = 226.0 / std::max(box.width(), box.height());
        QTransform transform;
        transform.translate(125, 125);
        transform.scale(scale, scale);
        transform.translate(-box.center().x(), -box.center().y());
        QImage image(kCanvasSize, kCanvasSize, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPath(transform.map(path));
        painter.end();
        const QString file = dir.filePath(name + QStringLiteral("/%1.png").arg(k));
        if (!image.convertToFormat(QImage::Format_Mono).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for --make-letters
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("--make-letters"))
        return makeLetters(args[1], args[2], args[3]);

    Settings settings;
    QString data;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto next = [&]() { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--cell-size"))
            settings.cellSize = next().toFloat();
        else if (a == QLatin1String("--passes"))
            settings.passes = next().toInt();
        else if (a == QLatin1String("--set"))
            settings.set = next().toInt();
        else if (a == QLatin1String("--group"))
            settings.group = next();
        else if (a == QLatin1String("--only"))
            settings.only = next();
        else if (a == QLatin1String("--variants"))
            settings.variants = next().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--no-mesh"))
            settings.mesh = false;
        else
            data = a;
    }
    if (data.isEmpty()) {
        std::fputs("usage: kalvex-kept-eval [--cell-size S] [--passes n] [--set S] [--group G] [--only A,B] "
                   "[--variants base,place,best,keep0,full] [--no-mesh] DATA\n",
                   stderr);
        return 2;
    }
    QString error;
    const std::vector<Triple> triples = readTriples(data, settings, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }

    // Per variant: the worst view's scores per triple.
    std::map<QString, std::vector<double>> voxelWorst, meshWorst, gridWorst;
    std::map<QString, double> slowest;
    std::printf("| triple | group | set |");
    for (const QString& v : settings.variants)
        std::printf(" %s kept | %s voxel | %s mesh | %s ms |", qPrintable(v), qPrintable(v), qPrintable(v), qPrintable(v));
    std::printf("\n|---|---|---|");
    for (int i = 0; i < settings.variants.size(); ++i)
        std::printf("---|---|---|---|");
    std::printf("\n");
    for (const Triple& t : triples) {
        const int set = settings.set >= 0 ? settings.set : t.set;
        std::printf("| %s | %s | %d |", qPrintable(t.name), qPrintable(t.group), set);
        std::fflush(stdout);
        for (const QString& name : settings.variants) {
            const Outcome o = run(t, settings, variantOf(name), set);
            if (!o.ok()) {
                std::printf(" failed: %s | | | |", qPrintable(o.error()));
                voxelWorst[name].push_back(0);
                meshWorst[name].push_back(0);
                gridWorst[name].push_back(0);
                continue;
            }
            voxelWorst[name].push_back(worstKept(o.voxel));
            meshWorst[name].push_back(worstKept(o.mesh));
            gridWorst[name].push_back(worstKept(o.keptGrid));
            slowest[name] = std::max(slowest[name], o.totalMs);
            std::printf(" %s | %s | %s | %.0f |", qPrintable(pct(worstKept(o.keptGrid))), qPrintable(pct(worstKept(o.voxel))),
                        settings.mesh ? qPrintable(pct(worstKept(o.mesh))) : "-", o.totalMs);
            std::fflush(stdout);
            std::fprintf(stderr,
                         "%s %s: fidelity %s/%s/%s predicted %s/%s/%s grid %s/%s/%s voxel %s/%s/%s mesh %s/%s/%s best pass %d "
                         "keep +%d -%d in %d rounds (%s -> %s); ms arrange %.0f load %.0f optimize %.0f keep %.0f "
                         "sculpt %.0f\n",
                         qPrintable(t.name), qPrintable(name), qPrintable(pct(o.fidelity[0])), qPrintable(pct(o.fidelity[1])),
                         qPrintable(pct(o.fidelity[2])), qPrintable(pct(o.predicted[0])),
                         qPrintable(pct(o.predicted[1])), qPrintable(pct(o.predicted[2])), qPrintable(pct(o.keptGrid[0])),
                         qPrintable(pct(o.keptGrid[1])), qPrintable(pct(o.keptGrid[2])), qPrintable(pct(o.voxel[0])),
                         qPrintable(pct(o.voxel[1])), qPrintable(pct(o.voxel[2])), qPrintable(pct(o.mesh[0])),
                         qPrintable(pct(o.mesh[1])), qPrintable(pct(o.mesh[2])), o.bestPass, o.keep.added,
                         o.keep.removed, o.keep.rounds, qPrintable(pct(worstKept(o.keep.before))),
                         qPrintable(pct(worstKept(o.keep.after))), o.arrangeMs, o.loadMs, o.optimizeMs, o.keepMs,
                         o.sculptMs);
        }
        std::printf("\n");
    }
    const auto mean = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += x;
        return v.empty() ? 0.0 : s / double(v.size());
    };
    const auto least = [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); };
    std::printf("| mean | | |");
    for (const QString& v : settings.variants)
        std::printf(" %s | %s | %s | |", qPrintable(pct(mean(gridWorst[v]))), qPrintable(pct(mean(voxelWorst[v]))),
                    settings.mesh ? qPrintable(pct(mean(meshWorst[v]))) : "-");
    std::printf("\n| least | | |");
    for (const QString& v : settings.variants)
        std::printf(" %s | %s | %s | %.0f |", qPrintable(pct(least(gridWorst[v]))), qPrintable(pct(least(voxelWorst[v]))),
                    settings.mesh ? qPrintable(pct(least(meshWorst[v]))) : "-", slowest[v]);
    std::printf("\n");
    return 0;
}
