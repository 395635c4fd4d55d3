// kalvex-cli hull, run as a separate process on pictures made here: its JSON
// must equal the reference computation, its files must hold what it reports,
// and bad usage must fail cleanly.

#ifdef KALVEX_CLI_PATH

#include "CliTestSupport.h"
#include "ReferenceHull.h"
#include "SyntheticPictures.h"
#include "volume/Placement.h"

#include "surface/TriMesh.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>

namespace {

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

struct PictureRecipe {
    Painted figure;
    int width = 250, height = 250;
    bool grey8 = false;  // saved as an 8-bit grey PNG
};

struct HullCase {
    const char* name;
    int set;
    float cellSize;
    std::array<PictureRecipe, 3> pictures;
    unsigned seed;
};

void PrintTo(const HullCase& c, std::ostream* os)
{
    *os << c.name;
}

class HullCli : public ::testing::Test {
protected:
    QString path(const QString& name) const { return _dir.filePath(name); }

    std::array<QString, 3> writePictures(const std::array<PictureRecipe, 3>& recipes, unsigned seed)
    {
        std::array<QString, 3> files;
        for (int k = 0; k < 3; ++k) {
            const PictureRecipe& s = recipes[k];
            QImage picture = syntheticPicture(s.figure, seed + 17 * k, s.width, s.height);
            if (s.grey8)
                picture = picture.convertToFormat(QImage::Format_Grayscale8);
            files[k] = path(QStringLiteral("picture%1.png").arg(k));
            EXPECT_TRUE(picture.save(files[k]));
            // The figure is found and fitted onto the canvas by the figure and
            // placement code (each tested on its own against a reference); the
            // reference hull starts from that canvas.
            const Result<Figure> figure = figureOf(picture);
            EXPECT_TRUE(figure.ok()) << figure.error().toStdString();
            const Result<QImage> canvas = figure.ok() ? placeFigure(figure.value(), Placement()) : fail("no figure");
            _canvases[files[k]] = path(QStringLiteral("canvas%1.png").arg(k));
            EXPECT_TRUE(canvas.ok() && canvas.value().save(_canvases[files[k]]));
        }
        return files;
    }

    // Runs the tool, checks the JSON shape and that its figures equal the
    // reference; returns the parsed object.
    QJsonObject expectReferenceFigures(const std::array<QString, 3>& files, int set, float cellSize,
                                       const QStringList& extra = {})
    {
        QStringList args{"hull", "--set", QString::number(set), "--cell-size", QString::number(cellSize)};
        args << extra << files[0] << files[1] << files[2];
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(run.out, &error).object();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
        EXPECT_TRUE(run.out.endsWith("}\n") && run.out.count('\n') == 1) << run.out.toStdString();
        EXPECT_EQ(json.keys(), (QStringList{"cell_size", "cells", "kept", "placements", "resolution", "timings_ms", "views"}));

        std::array<QString, 3> referenceFiles = files;
        for (QString& file : referenceFiles)
            file = _canvases.value(file, file);
        const reference::Figures expected = reference::hullFigures(referenceFiles, set, cellSize);
        EXPECT_EQ(json["resolution"].toInt(-1), expected.resolution);
        EXPECT_DOUBLE_EQ(json["cell_size"].toDouble(), QString::number(cellSize).toDouble());
        EXPECT_EQ(json["cells"].toInt(-1), expected.cells);
        const QJsonArray views = json["views"].toArray();
        EXPECT_EQ(views.size(), 3);
        const QStringList keys{"dark", "extra", "missing", "mode", "shadow"};
        for (int k = 0; k < 3 && k < views.size(); ++k) {
            const QJsonObject v = views[k].toObject();
            const reference::ViewFigures& e = expected.views[k];
            EXPECT_EQ(v.keys(), keys);
            const int wanted[5] = {e.dark, e.extra, e.missing, e.mode, e.shadow};
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(v[keys[i]].toInt(-1), wanted[i]) << "view " << k << " " << keys[i].toStdString();
        }
        const QJsonObject timings = json["timings_ms"].toObject();
        EXPECT_EQ(timings.keys(), (QStringList{"build", "load", "mesh", "quantize"}));
        for (const QString& key : timings.keys())
            EXPECT_GE(timings[key].toDouble(-1.0), 0.0) << key.toStdString();
        return json;
    }

    QTemporaryDir _dir;
    QHash<QString, QString> _canvases;  // picture -> its canvas, for pictures not 250 x 250
};

// ---- figures against the reference --------------------------------------------

class HullCliReference : public HullCli, public ::testing::WithParamInterface<HullCase> {};

TEST_P(HullCliReference, FiguresEqualTheReference)
{
    const HullCase& c = GetParam();
    const std::array<QString, 3> files = writePictures(c.pictures, c.seed);
    const QJsonObject json = expectReferenceFigures(files, c.set, c.cellSize);
    EXPECT_GT(json["cells"].toInt(), 0) << "the case should make a non-empty hull";
}

constexpr Painted B = Painted::Blobs, E = Painted::Ellipse, P = Painted::Polygons, S = Painted::Strokes, G = Painted::Greys;

INSTANTIATE_TEST_SUITE_P(
    SyntheticPictures, HullCliReference,
    ::testing::Values(
        HullCase{"set0_cs5", 0, 5.0f, {{{B}, {P}, {E}}}, 1},
        HullCase{"set1_cs5", 1, 5.0f, {{{P}, {B}, {S}}}, 2},
        HullCase{"set0_cs1_5", 0, 1.5f, {{{S}, {S}, {S}}}, 4},  // few dark pixels: the reference is brute force
        HullCase{"set2_cs1_7", 2, 1.7f, {{{S}, {P}, {S}}}, 5},
        HullCase{"set0_cs3_sizes", 0, 3.0f, {{{B, 180, 240}, {B, 400, 300}, {P, 333, 500}}}, 8},
        HullCase{"set1_cs3_3_greys", 1, 3.3f, {{{G, 250, 250, true}, {B}, {P}}}, 9},
        HullCase{"set0_cs6_25", 0, 6.25f, {{{P}, {G}, {S}}}, 11},
        HullCase{"set1_cs7_sizes", 1, 7.0f, {{{E, 500, 200}, {B, 100, 100}, {P, 260, 250}}}, 12},
        HullCase{"set0_cs25", 0, 25.0f, {{{B}, {E}, {G}}}, 14},
        HullCase{"set2_cs3_sizes", 2, 3.0f, {{{S, 240, 320}, {E, 300, 240}, {B}}}, 15}),
    [](const ::testing::TestParamInfo<HullCase>& info) { return std::string(info.param.name); });

TEST_F(HullCli, DisjointViewsGiveAnEmptyHull)
{
    // View 0 (X) dark for small y only, view 2 (Z) dark for large y only.
    QImage left = pictureWithPixels({}), bottom = left, black = left;
    QPainter(&left).fillRect(0, 0, 120, 250, Qt::black);
    black.fill(Qt::black);
    QPainter(&bottom).fillRect(0, 130, 250, 120, Qt::black);
    const std::array<QString, 3> files = {path("left.png"), path("black.png"), path("bottom.png")};
    ASSERT_TRUE(left.save(files[0]) && black.save(files[1]) && bottom.save(files[2]));
    const QJsonObject json = expectReferenceFigures(files, 0, 5.0f, {"--mesh", path("empty.obj")});
    EXPECT_EQ(json["cells"].toInt(-1), 0);
    for (const QJsonValue v : json["views"].toArray()) {
        EXPECT_EQ(v["shadow"].toInt(-1), 0);
        EXPECT_EQ(v["missing"].toInt(-1), v["dark"].toInt(-2));
    }
    QFile obj(path("empty.obj"));
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    const QByteArray text = obj.readAll();
    EXPECT_FALSE(text.startsWith("v ") || text.contains("\nv ") || text.contains("\nf "));
}

// ---- written files ----------------------------------------------------------

TEST_F(HullCli, MeshAndShadowFilesHoldWhatTheJsonReports)
{
    const std::array<QString, 3> files = writePictures({{{Painted::Blobs}, {Painted::Ellipse}, {Painted::Polygons}}}, 21);
    const QString mesh = path("out/hull.obj");
    const QString shadows = path("shadows/deeper");
    QDir().mkpath(path("out"));
    const QJsonObject json = expectReferenceFigures(files, 2, 6.25f, {"--mesh", mesh, "--shadows", shadows});
    const int cells = json["cells"].toInt();
    const int n = json["resolution"].toInt();
    ASSERT_GT(cells, 0);

    const std::unique_ptr<TriMesh> obj(TriMesh::read(mesh.toLocal8Bit().constData()));
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj->vertices.size(), 8u * cells);
    EXPECT_EQ(obj->faces.size(), 12u * cells);
    obj->need_bbox();
    for (int k = 0; k < 3; ++k) {
        EXPECT_GE(obj->bbox.min[k], 0.0f);
        EXPECT_LE(obj->bbox.max[k], n * 6.25f);
    }

    EXPECT_EQ(entries(shadows), (QStringList{"view0.png", "view1.png", "view2.png"}));
    const QJsonArray views = json["views"].toArray();
    for (int k = 0; k < 3; ++k) {
        const QImage image(QDir(shadows).filePath(QStringLiteral("view%1.png").arg(k)));
        ASSERT_EQ(image.size(), QSize(n, n)) << "view " << k;
        int black = 0, orange = 0, brown = 0, white = 0;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const QRgb p = image.pixel(c, r);
                black += p == 0xFF000000u;
                orange += p == 0xFFFA6400u;
                brown += p == 0xFF993300u;
                white += p == 0xFFFFFFFFu;
            }
        const QJsonObject v = views[k].toObject();
        EXPECT_EQ(black + orange + brown + white, n * n) << "only the four colours";
        EXPECT_EQ(orange, v["missing"].toInt());
        EXPECT_EQ(brown, v["extra"].toInt());
        EXPECT_EQ(black + brown, v["shadow"].toInt());
    }
}

// ---- failures ---------------------------------------------------------------

TEST_F(HullCli, BadUsageAndUnreadablePicturesFailCleanly)
{
    const std::array<QString, 3> files = writePictures({{{Painted::Blobs}, {Painted::Ellipse}, {Painted::Polygons}}}, 31);
    QFile empty(path("empty.png"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    // Readable but without a dark pixel (grey 100 is light).
    QImage grey(250, 250, QImage::Format_RGB32);
    grey.fill(qRgb(100, 100, 100));
    ASSERT_TRUE(grey.save(path("grey.png")));

    const QStringList outputs{"--mesh", path("out/m.obj"), "--shadows", path("out/shadows")};
    const QStringList pictures{files[0], files[1], files[2]};
    const struct {
        const char* what;
        QStringList args;
    } cases[] = {
        {"two pictures", QStringList{"hull"} + outputs + QStringList{files[0], files[1]}},
        {"set 3", QStringList{"hull", "--set", "3"} + outputs + pictures},
        {"cell size abc", QStringList{"hull", "--cell-size", "abc"} + outputs + pictures},
        {"cell size 0", QStringList{"hull", "--cell-size", "0"} + outputs + pictures},
        {"cell size missing", QStringList{"hull"} + outputs + pictures + QStringList{"--cell-size"}},
        {"unknown option", QStringList{"hull", "--colour", "red"} + outputs + pictures},
        {"missing picture", QStringList{"hull"} + outputs + QStringList{files[0], path("nothing.png"), files[2]}},
        {"empty file", QStringList{"hull"} + outputs + QStringList{path("empty.png"), files[1], files[2]}},
        {"no dark pixel", QStringList{"hull"} + outputs + QStringList{files[0], path("grey.png"), files[2]}},
        {"no command", QStringList{}},
    };
    const QStringList before = entries(_dir.path());
    for (const auto& c : cases) {
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.what;
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
        EXPECT_TRUE(run.err.endsWith('\n') && run.err.count('\n') == 1) << c.what << ": " << run.err.toStdString();
        EXPECT_EQ(entries(_dir.path()), before) << c.what << ": nothing may be written";
    }
}

}  // namespace

#endif  // KALVEX_CLI_PATH
