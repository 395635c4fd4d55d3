// kalvex-kept-eval: how much of each picture's figure the sculpture a user
// prints keeps, measured on what `kalvex-cli sculpt` writes.
//
// For every triple listed in DATA/triples.txt ("name group set" per line,
// pictures DATA/name/0.png .. 2.png) the real kalvex-cli (beside this program
// in the build folder) runs twice on copies of the pictures:
//   before: sculpt --cell-size S --no-arrange --no-keep  (pictures as given, no keep step)
//   after:  sculpt --cell-size S                          (the defaults)
// and each run is timed (wall seconds, the whole process). The STL it wrote
// is read back, its triangles projected onto each view's canvas and filled:
// the shadow the print casts. A view scores the intersection over union of
// that shadow and the ORIGINAL figure of its picture at the figure's best fit
// of scale and position, so that placing a figure is not counted as losing
// it; a triple scores its worst view. A run that writes no sculpture scores 0.
//
// Where the mesh sits: the STL holds it in millimetres, turned, moved into the
// positive octant and scaled so that its longest side is the print size; the
// picture-pixel frame is not in the file. The scene file beside it holds the
// volume the mesh was made of: the sculpture made again from it gives the
// corner and the scale (Sculpture::toPicturePixels). The program checks that
// it gives the STL's mesh (triangle count and box) before it uses them.
//
// Markdown tables on stdout, one line per run on stderr.
//
//   kalvex-kept-eval [--cli PATH] [--cell-size S] [--only A,B] [--group G] [--save DIR] [DATA]
//     --save DIR: keep each run's files in DIR/NAME-VARIANT/ and write
//     DIR/NAME-VARIANT-K.png per view (black: shadow on figure, red: figure
//     without shadow, blue: shadow without figure; grey frame: the canvas)
//   kalvex-kept-eval --make-letters DIR NAME LETTERS   (three capitals, DejaVu Sans Bold)

#include "files/SceneFiles.h"
#include "session/DesignSession.h"
#include "surface/PrintableMesh.h"
#include "volume/Placement.h"
#include "volume/ShadowObject.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

struct Triple {
    QString name, group;
    int set = 0;
    std::array<QString, 3> paths;
    std::array<Figure, 3> figures;
};

struct Settings {
    QString cli;
    double cellSize = 5.0;
    QString group = QStringLiteral("all");
    QStringList only;
    QString save;
};

struct Variant {
    const char* name;
    QStringList flags;
};

QString pct(double v)
{
    return QString::number(100.0 * v, 'f', 1);
}

// ---- the shadow of the mesh -----------------------------------------------------------

// The canvas with a margin on every side: an oblique view's shadow reaches
// beyond the canvas, and the print casts that too. Frame pixel (i, j) is
// canvas pixel (i - kMargin, j - kMargin).
struct Frame {
    static constexpr int kMargin = 125;
    static constexpr int kSide = kCanvasSize + 2 * kMargin;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(std::size_t(kSide) * kSide, 0);
    long count = 0;

    bool at(int u, int v) const  // canvas pixel
    {
        u += kMargin;
        v += kMargin;
        return u >= 0 && v >= 0 && u < kSide && v < kSide && pixels[std::size_t(v) * kSide + std::size_t(u)] != 0;
    }
};

struct Point2 {
    double u = 0, v = 0;
};

// Where a point of the volume (picture pixels) falls on the canvas of a view
// in `mode`. Cell c spans canvas pixels [c s, (c + 1) s) in the axis views.
// An oblique view's column of cell (x, y) is the truncation of the rotated
// cell index a x + b y, whose canvas pixels are centred at s (a x + b y) on
// average: a point's rotated coordinate less s (a + b) / 2.
Point2 onCanvas(int mode, const point& p, double cellSize)
{
    double a = 0, b = 0;
    switch (mode) {
    case X_PROJECTION: return {p[1], p[2]};
    case Y_PROJECTION: return {p[0], p[2]};
    case Z_PROJECTION: return {p[0], p[1]};
    case FortyFive_PROJECTION: a = 0.7071; b = 0.7071; break;
    case Sixty_PROJECTION: a = 0.866; b = 0.5; break;
    case OneTwenty_PROJECTION: a = 0.866; b = -0.5; break;
    default: break;
    }
    return {a * p[0] + b * p[1] - cellSize * (a + b) * 0.5, p[2]};
}

// Sets the frame pixels whose centres the triangle covers (its edges included,
// so that triangles sharing an edge leave no crack between them).
void fillTriangle(Frame& frame, const Point2& a, const Point2& b, const Point2& c)
{
    const double area = (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
    if (std::fabs(area) < 1e-12)
        return;
    const double sign = area > 0 ? 1.0 : -1.0;
    const auto edge = [sign](const Point2& p, const Point2& q, double u, double v) {
        return sign * ((q.u - p.u) * (v - p.v) - (q.v - p.v) * (u - p.u));
    };
    const int m = Frame::kMargin;
    const int u0 = std::max(0, int(std::floor(std::min({a.u, b.u, c.u}) - 0.5)) + m);
    const int u1 = std::min(Frame::kSide - 1, int(std::ceil(std::max({a.u, b.u, c.u}) - 0.5)) + m);
    const int v0 = std::max(0, int(std::floor(std::min({a.v, b.v, c.v}) - 0.5)) + m);
    const int v1 = std::min(Frame::kSide - 1, int(std::ceil(std::max({a.v, b.v, c.v}) - 0.5)) + m);
    for (int j = v0; j <= v1; ++j)
        for (int i = u0; i <= u1; ++i) {
            const double u = i - m + 0.5, v = j - m + 0.5;
            if (edge(a, b, u, v) >= 0 && edge(b, c, u, v) >= 0 && edge(c, a, u, v) >= 0)
                frame.pixels[std::size_t(j) * Frame::kSide + std::size_t(i)] = 1;
        }
}

// The shadow the mesh casts in a view: every triangle projected and filled
// (the mesh is closed, so its triangles cover its shadow).
Frame meshShadow(const TriMesh& mesh, const Sculpture& placement, int mode, double cellSize)
{
    Frame frame;
    std::vector<Point2> projected(mesh.vertices.size());
    for (std::size_t i = 0; i < projected.size(); ++i)
        projected[i] = onCanvas(mode, placement.toPicturePixels(mesh.vertices[i]), cellSize);
    for (const TriMesh::Face& f : mesh.faces)
        fillTriangle(frame, projected[std::size_t(f[0])], projected[std::size_t(f[1])], projected[std::size_t(f[2])]);
    for (std::uint8_t p : frame.pixels)
        frame.count += p;
    return frame;
}

// ---- scoring ---------------------------------------------------------------------------

// Intersection over union of the placed figure and the shadow; figure pixels
// beyond the frame count as missed.
double iou(const Figure& figure, const Placement& placement, const Frame& shadow)
{
    const PlacedMask m = placedMask(figure, placement);
    long inter = 0, area = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            if (!m.mask[std::size_t(y) * std::size_t(m.width) + std::size_t(x)])
                continue;
            ++area;
            inter += shadow.at(m.left + x, m.top + y) ? 1 : 0;
        }
    const long uni = area + shadow.count - inter;
    return uni == 0 ? 1.0 : double(inter) / double(uni);
}

struct Fit {
    double atPlacement = 0;  // the figure where the design placed it
    double best = 0;         // at its best fit
    Placement placement;     // that fit
};

// The figure's best fit to the shadow over uniform scale and shift: pattern
// search from the design's own placement, with ever finer steps.
Fit bestFit(const Figure& figure, const Placement& start, const Frame& shadow)
{
    Fit fit;
    fit.placement = start;
    fit.best = fit.atPlacement = iou(figure, start, shadow);
    const double shiftSteps[] = {16, 8, 4, 2, 1, 0.5, 0.25};
    const double scaleSteps[] = {1.08, 1.04, 1.02, 1.01, 1.005, 1.0025, 1.00125};
    for (int level = 0; level < 7; ++level)
        for (int sweep = 0; sweep < 30; ++sweep) {
            bool improved = false;
            for (int move = 0; move < 6; ++move) {
                Placement t = fit.placement;
                switch (move) {
                case 0: t.dx -= shiftSteps[level]; break;
                case 1: t.dx += shiftSteps[level]; break;
                case 2: t.dy -= shiftSteps[level]; break;
                case 3: t.dy += shiftSteps[level]; break;
                case 4: t.scale *= scaleSteps[level]; break;
                default: t.scale /= scaleSteps[level]; break;
                }
                const double v = iou(figure, t, shadow);
                if (v > fit.best + 1e-12) {
                    fit.best = v;
                    fit.placement = t;
                    improved = true;
                }
            }
            if (!improved)
                break;
        }
    return fit;
}

// Shadow and fitted figure in one picture: black where both are, red where
// the figure has no shadow, blue where the shadow has no figure, the canvas
// framed in grey.
QImage overlay(const Figure& figure, const Placement& placement, const Frame& shadow)
{
    const PlacedMask m = placedMask(figure, placement);
    QImage image(Frame::kSide, Frame::kSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int j = 0; j < Frame::kSide; ++j)
        for (int i = 0; i < Frame::kSide; ++i) {
            const int u = i - Frame::kMargin, v = j - Frame::kMargin;
            const bool s = shadow.at(u, v), f = m.at(u, v);
            if (s || f)
                image.setPixel(i, j, s && f ? qRgb(0, 0, 0) : f ? qRgb(230, 30, 30) : qRgb(90, 140, 255));
        }
    QPainter painter(&image);
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(Frame::kMargin - 1, Frame::kMargin - 1, kCanvasSize + 1, kCanvasSize + 1);
    return image;
}

// ---- one run of kalvex-cli sculpt ----------------------------------------------------------

struct Outcome {
    bool ok = false;
    QString error;
    double seconds = 0;
    QJsonObject json;
    std::array<Fit, 3> fits{};
    KeptValues kept{0, 0, 0};
    double worst() const { return ok ? worstKept(kept) : 0.0; }
};

QJsonObject lastJsonLine(const QByteArray& out)
{
    const QList<QByteArray> lines = out.trimmed().split('\n');
    return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.back()).object();
}

// Runs the sculpt command on fresh copies of the triple's pictures in
// `dir`/in and writes into `dir`/out, both emptied first: every run is a
// first run, with no picture-mesh cache beside the pictures (a cached mesh
// gives a slightly different volume) and no files of an earlier run.
Outcome runSculpt(const Settings& settings, const Triple& t, const Variant& variant, const QString& dir)
{
    Outcome o;
    const QDir folder(dir);
    for (const char* sub : {"in", "out"})
        QDir(folder.filePath(QLatin1String(sub))).removeRecursively();
    if (!folder.mkpath(QStringLiteral("in"))) {
        o.error = QStringLiteral("cannot make %1").arg(folder.filePath(QStringLiteral("in")));
        return o;
    }
    QStringList args{QStringLiteral("sculpt"), QStringLiteral("--set"), QString::number(t.set),
                     QStringLiteral("--cell-size"), QString::number(settings.cellSize)};
    args << variant.flags << QStringLiteral("--out") << folder.filePath(QStringLiteral("out"));
    for (int k = 0; k < 3; ++k) {
        const QString copy = folder.filePath(QStringLiteral("in/%1.png").arg(k));
        if (!QFile::copy(t.paths[std::size_t(k)], copy)) {
            o.error = QStringLiteral("cannot copy %1").arg(t.paths[std::size_t(k)]);
            return o;
        }
        args << copy;
    }
    QProcess process;
    process.setWorkingDirectory(QStringLiteral(KALVEX_SOURCE_DIR));
    QElapsedTimer timer;
    timer.start();
    process.start(settings.cli, args);
    const bool finished = process.waitForStarted(30000) && process.waitForFinished(600000);
    o.seconds = double(timer.nsecsElapsed()) / 1e9;
    o.json = lastJsonLine(process.readAllStandardOutput());
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        // A surface refused as not printable comes with its JSON: say what
        // its check found rather than the general line.
        if (o.json.contains(QStringLiteral("components")))
            o.error = QStringLiteral("not printable: %1 part(s), %2 open edge(s), %3 non-manifold edge(s)")
                          .arg(o.json.value(QStringLiteral("components")).toInt())
                          .arg(o.json.value(QStringLiteral("open_edges")).toInt())
                          .arg(o.json.value(QStringLiteral("nonmanifold_edges")).toInt());
        else
            o.error = finished ? QString::fromLocal8Bit(process.readAllStandardError()).trimmed()
                               : QStringLiteral("did not run to its end: %1").arg(process.errorString());
    }
    return o;
}

// Scores the sculpture a run wrote in `dir`/out against the triple's figures.
void score(Outcome& o, const Triple& t, const QString& dir, const QString& savePrefix)
{
    const QDir out(QDir(dir).filePath(QStringLiteral("out")));
    const QJsonArray placementTexts = o.json.value(QStringLiteral("placements")).toArray();
    std::array<Placement, 3> placements{};
    for (int k = 0; k < 3 && k < placementTexts.size(); ++k) {
        const Result<Placement> p = parsePlacement(placementTexts[k].toString());
        if (!p.ok()) {
            o.error = p.error();
            return;
        }
        placements[std::size_t(k)] = p.value();
    }
    DesignSession session;
    if (const Report opened = openScene(session, out.filePath(QStringLiteral("sculpture.kxscene"))); !opened.ok()) {
        o.error = opened.error();
        return;
    }
    const ShadowObject* volume = session.volume().master();
    const Result<Sculpture> remade = session.volume().sculpture(SculptureOptions());
    const std::unique_ptr<TriMesh> stl(readBinaryStl(out.filePath(QStringLiteral("sculpture.stl")).toStdString()));
    if (!volume || !remade.ok() || !stl) {
        o.error = !stl ? QStringLiteral("cannot read the STL") : QStringLiteral("no sculpture from the scene file");
        return;
    }
    // The corner and scale of the sculpture made again hold for the STL only
    // when it is the same mesh.
    const Sculpture& placement = remade.value();
    stl->need_bbox();
    double boxDifference = 0;
    for (int a = 0; a < 3; ++a)
        boxDifference = std::max({boxDifference, std::fabs(double(stl->bbox.min[a] - placement.mesh.bbox.min[a])),
                                  std::fabs(double(stl->bbox.max[a] - placement.mesh.bbox.max[a]))});
    if (stl->faces.size() != placement.mesh.faces.size() || boxDifference > 1e-3) {
        o.error = QStringLiteral("the scene file does not give the STL's mesh (%1 against %2 triangles, boxes %3 mm apart)")
                      .arg(stl->faces.size())
                      .arg(placement.mesh.faces.size())
                      .arg(boxDifference);
        return;
    }
    const double cellSize = volume->cellSize();
    for (int k = 0; k < 3; ++k) {
        const std::size_t slot = std::size_t(k);
        const Frame shadow = meshShadow(*stl, placement, volume->viewModes()[slot], cellSize);
        o.fits[slot] = bestFit(t.figures[slot], placements[slot], shadow);
        o.kept[slot] = o.fits[slot].best;
        if (!savePrefix.isEmpty())
            overlay(t.figures[slot], o.fits[slot].placement, shadow).save(savePrefix + QStringLiteral("-%1.png").arg(k));
    }
    o.ok = true;
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
        bool setOk = false;
        Triple t;
        if (parts.size() >= 3)
            t.set = parts[2].toInt(&setOk);
        if (!setOk || t.set < 0 || t.set > 2) {
            error = QStringLiteral("Bad line in triples.txt: %1").arg(line);
            return {};
        }
        t.name = parts[0];
        t.group = parts[1];
        if (!settings.only.isEmpty() && !settings.only.contains(t.name))
            continue;
        if (settings.group != QLatin1String("all") && settings.group != t.group)
            continue;
        for (int k = 0; k < 3; ++k) {
            const std::size_t slot = std::size_t(k);
            t.paths[slot] = QDir(folder).absoluteFilePath(t.name + QStringLiteral("/%1.png").arg(k));
            const Result<Figure> f = loadFigure(t.paths[slot]);
            if (!f.ok()) {
                error = f.error();
                return {};
            }
            t.figures[slot] = f.value();
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

// ---- tables -----------------------------------------------------------------------------

struct Row {
    const Triple* triple = nullptr;
    Outcome before, after;
};

// A kept share in the table; a run below the goal for every triple in bold.
QString keptCell(const Outcome& o, bool markLow)
{
    if (!o.ok)
        return QStringLiteral("**0** (failed)");
    const QString text = pct(o.worst());
    return markLow && o.worst() < 0.6 ? QStringLiteral("**%1**").arg(text) : text;
}

QString secondsCell(double seconds)
{
    const QString text = QString::number(seconds, 'f', 2);
    return seconds >= 5.0 ? QStringLiteral("**%1**").arg(text) : text;
}

void printTables(const std::vector<Row>& rows)
{
    std::printf("| triple | group | set | before worst kept %% | after worst kept %% | after kept %% per view | "
                "before s | after s |\n|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        const QString perView = r.after.ok ? QStringLiteral("%1 / %2 / %3")
                                                 .arg(pct(r.after.kept[0]), pct(r.after.kept[1]), pct(r.after.kept[2]))
                                           : r.after.error;
        std::printf("| %s | %s | %d | %s | %s | %s | %s | %s |\n", qPrintable(r.triple->name), qPrintable(r.triple->group),
                    r.triple->set, qPrintable(keptCell(r.before, false)), qPrintable(keptCell(r.after, true)),
                    qPrintable(perView), qPrintable(secondsCell(r.before.seconds)),
                    qPrintable(secondsCell(r.after.seconds)));
    }

    // Groups in the order they first appear, then all together.
    QStringList groups;
    for (const Row& r : rows)
        if (!groups.contains(r.triple->group))
            groups << r.triple->group;
    if (groups.size() > 1)
        groups << QStringLiteral("all");
    std::printf("\n| group | triples | before mean %% | before min %% | after mean %% | after min %% | after runs "
                "failed | slowest after s | after runs >= 5 s |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const QString& g : groups) {
        std::vector<double> before, after;
        int noFile = 0, slow = 0;
        double slowest = 0;
        for (const Row& r : rows) {
            if (g != QLatin1String("all") && r.triple->group != g)
                continue;
            before.push_back(r.before.worst());
            after.push_back(r.after.worst());
            noFile += r.after.ok ? 0 : 1;
            slow += r.after.seconds >= 5.0 ? 1 : 0;
            slowest = std::max(slowest, r.after.seconds);
        }
        const auto mean = [](const std::vector<double>& v) {
            double s = 0;
            for (double x : v)
                s += x;
            return v.empty() ? 0.0 : s / double(v.size());
        };
        const auto least = [](const std::vector<double>& v) {
            return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
        };
        std::printf("| %s | %zu | %s | %s | %s | %s | %d | %s | %d |\n", qPrintable(g), after.size(),
                    qPrintable(pct(mean(before))), qPrintable(pct(least(before))), qPrintable(pct(mean(after))),
                    qPrintable(pct(least(after))), noFile, qPrintable(QString::number(slowest, 'f', 2)), slow);
    }
    std::printf("\nKept: intersection over union of the exported STL's shadow and the original figure at its best "
                "fit of scale and position, worst view of each triple; a run that wrote no sculpture counts 0. "
                "Goals: mean >= 80 %%, min >= 60 %%, every run < 5 s (bold: missed).\n");
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
    settings.cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kalvex-cli"));
    QString data = QStringLiteral(KALVEX_SOURCE_DIR "/bench/data/triples");
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto next = [&]() { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--cli"))
            settings.cli = next();
        else if (a == QLatin1String("--cell-size"))
            settings.cellSize = next().toDouble();
        else if (a == QLatin1String("--group"))
            settings.group = next();
        else if (a == QLatin1String("--only"))
            settings.only = next().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--save"))
            settings.save = next();
        else if (a.startsWith(QLatin1String("--"))) {
            std::fputs("usage: kalvex-kept-eval [--cli PATH] [--cell-size S] [--only A,B] [--group G] [--save DIR] "
                       "[DATA]\n       kalvex-kept-eval --make-letters DIR NAME LETTERS\n",
                       stderr);
            return 2;
        } else
            data = a;
    }
    if (!(settings.cellSize >= 1.0 && settings.cellSize <= 250.0)) {
        std::fputs("--cell-size must be a number from 1 to 250\n", stderr);
        return 2;
    }
    if (!QFile::exists(settings.cli)) {
        std::fprintf(stderr, "no kalvex-cli at %s (build it, or give --cli PATH)\n", qPrintable(settings.cli));
        return 2;
    }
    QString error;
    const std::vector<Triple> triples = readTriples(data, settings, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    if (!settings.save.isEmpty() && !QDir().mkpath(settings.save)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(settings.save));
        return 2;
    }

    const std::array<Variant, 2> variants{
        Variant{"before", {QStringLiteral("--no-arrange"), QStringLiteral("--no-keep")}},
        Variant{"after", {}},
    };
    std::vector<Row> rows;
    for (const Triple& t : triples) {
        Row row;
        row.triple = &t;
        for (const Variant& variant : variants) {
            const QString tag = t.name + QLatin1Char('-') + QLatin1String(variant.name);
            QTemporaryDir temporary;
            const QString dir = settings.save.isEmpty() ? temporary.path() : QDir(settings.save).filePath(tag);
            const QString picturePrefix = settings.save.isEmpty() ? QString() : QDir(settings.save).filePath(tag);
            for (int k = 0; k < 3 && !picturePrefix.isEmpty(); ++k)
                QFile::remove(picturePrefix + QStringLiteral("-%1.png").arg(k));  // an earlier run's
            Outcome o = runSculpt(settings, t, variant, dir);
            if (o.error.isEmpty())
                score(o, t, dir, picturePrefix);
            const QJsonArray cliKept = o.json.value(QStringLiteral("kept")).toArray();
            std::fprintf(stderr,
                         "%s: %.2f s, kept %s / %s / %s (at the design's placement %s / %s / %s; kalvex-cli's own "
                         "kept %.1f / %.1f / %.1f, best pass %d)%s%s\n",
                         qPrintable(tag), o.seconds, qPrintable(pct(o.kept[0])), qPrintable(pct(o.kept[1])),
                         qPrintable(pct(o.kept[2])), qPrintable(pct(o.fits[0].atPlacement)),
                         qPrintable(pct(o.fits[1].atPlacement)), qPrintable(pct(o.fits[2].atPlacement)),
                         100.0 * cliKept.at(0).toDouble(), 100.0 * cliKept.at(1).toDouble(),
                         100.0 * cliKept.at(2).toDouble(), o.json.value(QStringLiteral("best_pass")).toInt(-1),
                         o.error.isEmpty() ? "" : ": ", qPrintable(o.error));
            (variant.name == std::string("before") ? row.before : row.after) = std::move(o);
        }
        rows.push_back(std::move(row));
    }
    printTables(rows);
    return 0;
}
