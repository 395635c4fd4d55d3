// The point-light volume: projection against values worked out by hand, the
// volume of one view, removability on shared pixels, the random-removal
// bounds, an optimise pass on the example, refused input, and kalvex-cli
// perspective checked against the masks it writes.

#include "CliTestSupport.h"

#include "perspective/PerspectiveDesign.h"
#include "session/PointLights.h"
#include "volume/Comparison.h"
#include "volume/SceneFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <numeric>

namespace {

// The example's first camera: from -x, up -y. In grid units centre
// (-35, 25, 25), forward +x, up' (0, -1, 0), side (0, 0, 1), f' 40, h 20.
PerspectiveCamera cameraFromMinusX()
{
    PerspectiveCamera c;
    c.center = {-1.2, 0.0, 0.0};
    c.up = {0.0, -1.0, 0.0};
    c.focalDistance = 0.8;
    c.imageSize = 40;
    return c;
}

QImage whitePicture(int size = 200)
{
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

// The example pictures in a temporary folder: loading caches meshes beside them.
QString copyExample(const QTemporaryDir& dir)
{
    for (const char* name : {"x.png", "xy.png", "y.png"})
        QFile::copy(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/perspective/") + QLatin1String(name),
                    dir.filePath(QLatin1String(name)));
    return dir.path();
}

int total(const std::vector<int>& values)
{
    return std::accumulate(values.begin(), values.end(), 0);
}

// Values of u and v follow from u = f' (d.up') / depth / h; each expected
// pixel is trunc((u + 1) / 2 * 50).
TEST(PerspectiveProjection, MatchesValuesWorkedOutByHand)
{
    // 200-pixel picture, one 4x4 block dark: after scaling to 50 wide it is
    // pixel (30, 10) alone.
    QImage picture = whitePicture();
    QPainter(&picture).fillRect(120, 40, 4, 4, Qt::black);
    PerspectiveShadowObject object;
    const double d = -1.2 / std::sqrt(2.0);
    for (const auto& [center, up] : {std::pair<Vector3, Vector3>{{-1.2, 0, 0}, {0, -1, 0}},  // view 0
                                     std::pair<Vector3, Vector3>{{d, d, 0}, {0, -1, 0}},     // 1: diagonal
                                     std::pair<Vector3, Vector3>{{0, -1.2, 0}, {1, 0, 0}}}) {  // 2: from -y
        PerspectiveCamera camera = cameraFromMinusX();
        camera.center = center;
        camera.up = up;
        ASSERT_TRUE(object.addView(picture, QStringLiteral("block"), camera).ok());
    }

    struct Case {
        int view;
        CellIndex cell;
        int px, py;  // -1: not seen
        bool inFigure;
    };
    const Case cases[] = {
        {0, {25, 25, 25}, 25, 25, false},  // on the axis: u = v = 0
        {0, {10, 20, 12}, 30, 10, true},   // u = 5 / 22.5, v = -13 / 22.5: the dark pixel
        {0, {10, 38, 30}, 10, 30, false},  // the transposed pixel is light
        {0, {0, 42, 25}, 0, 25, false},    // u = -17 / 17.5: first column
        {0, {0, 8, 25}, 49, 25, false},    // u = 17 / 17.5: last column
        {0, {0, 45, 25}, -1, -1, false},   // u = -20 / 17.5: outside
        {1, {25, 25, 40}, 25, 37, false},  // depth 60, v = 15 / 30
        {2, {40, 0, 25}, 46, 25, false},   // depth 35, u = 15 / 17.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "view " << c.view << " cell " << c.cell.x << " " << c.cell.y << " "
                                        << c.cell.z);
        const PerspectiveView::Projection p = object.view(c.view).project(c.cell.x, c.cell.y, c.cell.z);
        EXPECT_EQ(p.seen, c.px >= 0);
        EXPECT_EQ(p.px, c.px);
        EXPECT_EQ(p.py, c.py);
        EXPECT_EQ(p.inFigure, c.inFigure);
    }
}

// Each view projects with its own camera's focal distance, as loaded through
// the session and again after the views are made anew: from -x with 0.8 and
// from -y with 0.4 (grid units: f' = 40 and 20, h = 20, N = 50). View 1's
// pixels follow from u = f' (d.up') / depth / h with up' = x, side = z.
TEST(PerspectiveProjection, EachViewUsesItsOwnFocalDistance)
{
    QTemporaryDir dir;
    QImage picture = whitePicture();
    QPainter(&picture).fillRect(50, 50, 100, 100, Qt::black);
    const QString path = dir.filePath(QStringLiteral("square.png"));
    ASSERT_TRUE(picture.save(path));
    PointLightView fromX{path, {}}, fromY{path, {}};
    fromX.camera.center = {-1.2, 0.0, 0.0};
    fromX.camera.up = {0.0, -1.0, 0.0};
    fromX.camera.focalDistance = 0.8;
    fromY.camera.center = {0.0, -1.2, 0.0};
    fromY.camera.up = {1.0, 0.0, 0.0};
    fromY.camera.focalDistance = 0.4;
    fromX.camera.imageSize = fromY.camera.imageSize = 40;
    PointLights lights;
    ASSERT_TRUE(lights.load({fromX, fromY}, 5.0f).ok());

    struct Case {
        int view;
        CellIndex cell;
        int px, py;  // -1: not seen
    };
    const Case cases[] = {
        {0, {10, 20, 12}, 30, 10},  // u = 5 / 22.5, v = -13 / 22.5
        {1, {40, 0, 25}, 35, 25},   // depth 35, u = 15 / 35 (46 with f' = 40)
        {1, {49, 0, 25}, 42, 25},   // u = 24 / 35 (outside with f' = 40)
        {1, {49, 0, 49}, 42, 42},   // v = 24 / 35
    };
    for (const bool remade : {false, true}) {
        if (remade) {
            ASSERT_TRUE(lights.show().ok() && lights.recompute().ok());
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (remade ? "remade " : "loaded ") << "view " << c.view << " cell "
                                            << c.cell.x << " " << c.cell.y << " " << c.cell.z);
            const PerspectiveView::Projection p =
                lights.design().object()->view(c.view).project(c.cell.x, c.cell.y, c.cell.z);
            EXPECT_EQ(p.px, c.px);
            EXPECT_EQ(p.py, c.py);
        }
    }
}

// One view: the volume is the cone of cells whose pixel lies in the figure,
// clipped to the grid; the mesh and the per-pixel lists hold every one of them.
TEST(PerspectiveVolume, OneViewGivesTheClippedCone)
{
    QImage picture = whitePicture();
    QPainter painter(&picture);
    painter.fillRect(20, 30, 150, 40, Qt::black);  // an L: no symmetry hides a swapped axis
    painter.fillRect(20, 30, 40, 160, Qt::black);
    painter.end();
    PerspectiveShadowObject object;
    ASSERT_TRUE(object.addView(picture, QStringLiteral("L"), cameraFromMinusX()).ok());
    object.rebuildMaster();
    const TriMesh& mesh = *object.buildShadowMesh();

    const PerspectiveView& view = object.view(0);
    int cells = 0, seen = 0, unseen = 0;
    CellIndex first{-1, -1, -1};
    for (int x = 0; x < 50; ++x)
        for (int y = 0; y < 50; ++y)
            for (int z = 0; z < 50; ++z) {
                const PerspectiveView::Projection p = view.project(x, y, z);
                ASSERT_EQ(object.isOccupied({x, y, z}), p.inFigure) << x << " " << y << " " << z;
                cells += p.inFigure ? 1 : 0;
                seen += p.seen ? 1 : 0;
                unseen += p.seen ? 0 : 1;
                if (p.inFigure && first.x < 0)
                    first = {x, y, z};
            }
    EXPECT_GT(cells, 1000);
    EXPECT_GT(seen, cells);  // seen cells outside the figure stay free
    EXPECT_GT(unseen, 0);    // the cone is clipped
    EXPECT_EQ(object.occupiedCount(), cells);

    ASSERT_EQ(mesh.vertices.size(), std::size_t(cells) * 8);
    ASSERT_EQ(mesh.faces.size(), std::size_t(cells) * 12);
    ASSERT_EQ(mesh.cell_data.size(), mesh.vertices.size());
    EXPECT_EQ(mesh.vertices[0], point(first.x * 5.0f, first.y * 5.0f, first.z * 5.0f));
    EXPECT_EQ(mesh.vertices[6], point(first.x * 5.0f + 5, first.y * 5.0f + 5, first.z * 5.0f + 5));

    std::size_t listed = 0, all = 0;
    for (int i = 0; i < view.pixelCount(); ++i) {
        listed += view._occupied_cells[std::size_t(i)].size();
        all += view._all_cells[std::size_t(i)].size();
    }
    EXPECT_EQ(listed, std::size_t(cells));
    EXPECT_EQ(all, std::size_t(seen));
}

// Removal keeps every shadow pixel covered: the last occupied cell of a
// pixel is refused, and undo puts the removed cells back into the lists.
TEST(PerspectiveVolume, LastCellOfAPixelIsNotRemovable)
{
    QImage picture = whitePicture();
    QPainter(&picture).fillRect(40, 40, 120, 120, Qt::black);
    PerspectiveShadowObject object;
    ASSERT_TRUE(object.addView(picture, QStringLiteral("square"), cameraFromMinusX()).ok());
    object.rebuildMaster();
    object.buildShadowMesh();
    PerspectiveView& view = object.view(0);
    const std::vector<CellIndex>& list = view._occupied_cells[std::size_t(view.pixelIndex(25, 25))];
    std::vector<CellIndex> ray = list;
    const std::size_t full = ray.size();
    ASSERT_GE(full, 3u);

    EditableShadowObject::Snapshot before;
    object.takeSnapshot(before);
    while (ray.size() > 2) {
        ASSERT_TRUE(object.isCellRemovable(ray.back()));
        object.setOccupied(ray.back(), false);
        ray.pop_back();
    }
    EXPECT_TRUE(object.isCellRemovable(ray[0]));
    EXPECT_TRUE(object.isCellRemovable(ray[1]));
    object.setOccupied(ray[0], false);
    EXPECT_TRUE(object.isCellRemovable(ray[0]));  // a free cell
    EXPECT_FALSE(object.isCellRemovable(ray[1]));
    EXPECT_EQ(list, std::vector<CellIndex>{ray[1]});

    object.recordEdit(before);
    object.undo();
    EXPECT_EQ(list.size(), full);
    EXPECT_TRUE(object.isCellRemovable(ray[1]));
}

// rand() values after srand(seed), skipping the first `skip`.
int randAfter(unsigned seed, int skip)
{
    std::srand(seed);
    for (int i = 0; i < skip; ++i)
        std::rand();
    return std::rand();
}

// Never more than k + 1 cells, never more than 20 k draws of three values.
TEST(PerspectiveVolume, RandomRemovalStopsAfterKPlusOneCellsOr20KDraws)
{
    struct Case {
        const char* name;
        bool tinyFigure;  // a few cells on one pixel: draws run out first
        int k;
    };
    for (const Case& c : {Case{"every cell removable", false, 40}, Case{"one dark pixel", true, 5}}) {
        SCOPED_TRACE(c.name);
        PerspectiveShadowObject object;
        if (c.tinyFigure) {
            QImage picture = whitePicture();
            QPainter(&picture).fillRect(100, 100, 4, 4, Qt::black);
            ASSERT_TRUE(object.addView(picture, QStringLiteral("dot"), cameraFromMinusX()).ok());
        }
        object.rebuildMaster();  // without views every cell is occupied and removable
        object.buildShadowMesh();
        const int before = object.occupiedCount();
        std::srand(7);
        const PerspectiveShadowObject::RandomRemoval r = object.removeRandomCells(c.k);
        const int next = std::rand();
        EXPECT_EQ(next, randAfter(7, 3 * r.draws));  // x, y, z per draw
        EXPECT_EQ(object.occupiedCount(), before - r.removed);
        EXPECT_EQ(object.shadowMesh()->vertices.size(), std::size_t(before - r.removed) * 8);
        if (c.tinyFigure) {
            EXPECT_EQ(r.draws, 20 * c.k);
            EXPECT_LE(r.removed, c.k);
        } else {
            EXPECT_EQ(r.removed, c.k + 1);
            EXPECT_LT(r.draws, 20 * c.k);
        }
    }
}

class PerspectiveDesignTest : public ::testing::Test {
protected:
    QTemporaryDir _dir;
    PerspectiveDesign design;
};

TEST_F(PerspectiveDesignTest, OneAdjustmentOnTheExampleLowersTheMissingPixels)
{
    ASSERT_EQ(design.loadExample(copyExample(_dir)).value().text, QStringLiteral("Loaded images(s)."));
    ASSERT_EQ(design.show().value().text, QStringLiteral("Perspective mesh shown."));
    const int initial = total(design.counts().missing);
    ASSERT_GT(initial, 0);
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(design.comparison(k).size(), QSize(50, 50));
        EXPECT_EQ(countComparison(design.comparison(k)).missing, design.counts().missing[std::size_t(k)]);
    }

    PerspectiveAdjustOptions options;
    EXPECT_TRUE(design.adjust(options).ok());
    EXPECT_EQ(design.passCount(), 1);
    EXPECT_GT(design.requests(0).size() + design.requests(1).size() + design.requests(2).size(), 0u);
    EXPECT_LT(total(design.counts().missing), initial);
    EXPECT_EQ(design.counts().cells, design.object()->occupiedCount());
}

// The example's figures in colour on white, on a transparent ground, grey on
// grey, and split by a threshold by hand give the volume of the black-on-white
// pictures: each goes through its figure before it becomes a view. (Pictures
// not as in their file are meshed afresh, so a few cells may differ.)
TEST_F(PerspectiveDesignTest, FiguresOfAnyKindGiveTheVolumeOfBlackOnWhite)
{
    const std::vector<PerspectiveViewSource> example = PerspectiveDesign::exampleViews(copyExample(_dir));
    ASSERT_TRUE(design.load(example).ok());
    ASSERT_TRUE(design.show().ok());
    const int cells = design.counts().cells;
    ASSERT_GT(cells, 0);

    struct Variant {
        const char* name;
        QRgb figure, ground;
        int threshold;
    };
    const Variant variants[] = {
        {"red on white", qRgb(220, 30, 30), qRgb(255, 255, 255), -1},
        {"blue on transparent", qRgba(40, 60, 200, 255), qRgba(255, 255, 255, 0), -1},
        {"grey on grey", qRgb(144, 144, 144), qRgb(200, 200, 200), -1},
        {"threshold by hand", qRgb(150, 150, 150), qRgb(180, 180, 180), 165},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        std::vector<PerspectiveViewSource> sources = example;
        for (std::size_t k = 0; k < sources.size(); ++k) {
            const QImage original(sources[k].picture);
            QImage picture(original.size(), QImage::Format_ARGB32);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    picture.setPixel(x, y, qGray(original.pixel(x, y)) < 128 ? v.figure : v.ground);
            sources[k].picture = _dir.filePath(QStringLiteral("%1-%2.png").arg(v.name).arg(k));
            sources[k].threshold = v.threshold;
            ASSERT_TRUE(picture.save(sources[k].picture));
        }
        PerspectiveDesign other;
        ASSERT_TRUE(other.load(sources).ok());
        ASSERT_TRUE(other.show().ok());
        EXPECT_NEAR(other.counts().cells, cells, 0.03 * cells);
    }
}

// Every refused input leaves views, pictures and volume as they were.
TEST_F(PerspectiveDesignTest, BadInputLeavesTheDesignUnchanged)
{
    const QString folder = copyExample(_dir);
    const std::vector<PerspectiveViewSource> example = PerspectiveDesign::exampleViews(folder);
    ASSERT_TRUE(design.load({example[0], example[2]}).ok());
    ASSERT_TRUE(design.show().ok());
    const int cells = design.counts().cells;
    const PerspectiveShadowObject* object = design.object();

    const QString blank = _dir.filePath(QStringLiteral("blank.png"));
    ASSERT_TRUE(whitePicture().save(blank));
    PerspectiveViewSource upAlongView = example[1], noFocalDistance = example[1];
    upAlongView.camera.up = {1.0, 1.0, 0.0};
    noFocalDistance.camera.focalDistance = 0.0;
    const std::pair<const char*, PerspectiveViewSource> bad[] = {
        {"unreadable picture", {_dir.filePath(QStringLiteral("none.png")), example[1].camera}},
        {"no figure pixel", {blank, example[1].camera}},
        {"up along the view", upAlongView},
        {"focal distance 0", noFocalDistance},
    };
    for (const auto& [name, source] : bad) {
        SCOPED_TRACE(name);
        const Report added = design.addView(source);
        EXPECT_FALSE(added.ok());
        EXPECT_FALSE(added.error().contains('\n'));
        EXPECT_FALSE(design.load({example[0], source}).ok());
        EXPECT_EQ(design.object(), object);
        EXPECT_EQ(design.viewCount(), 2);
        EXPECT_TRUE(design.picture(2).empty());
        EXPECT_EQ(design.object()->occupiedCount(), cells);
    }
    EXPECT_EQ(design.adjust({}).error(), QStringLiteral("The adjustment needs three views."));
    EXPECT_EQ(design.passCount(), 0);
    EXPECT_FALSE(PerspectiveDesign().show().ok());
}

#ifdef KALVEX_CLI_PATH

QStringList viewArguments(const PerspectiveViewSource& view)
{
    QStringList args{QStringLiteral("--view"), view.picture};
    for (const Vector3* v : {&view.camera.center, &view.camera.lookAt, &view.camera.up})
        for (double value : *v)
            args << QString::number(value, 'g', 17);
    return args << QString::number(view.camera.focalDistance, 'g', 17) << QString::number(view.camera.imageSize);
}

// --passes 0: the scene holds exactly the cells that project into the figure
// of every written mask, and the counts are those of that volume.
TEST(PerspectiveCli, WrittenVolumeIsTheCellsInsideEveryWrittenMask)
{
    QTemporaryDir dir;
    const std::vector<PerspectiveViewSource> views = PerspectiveDesign::exampleViews(copyExample(dir));
    const QString out = dir.filePath(QStringLiteral("out"));
    QStringList args{"perspective", "--passes", "0", "--out", out};
    for (const PerspectiveViewSource& view : views)
        args << viewArguments(view);
    const CliRun run = runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(json["resolution"].toInt(), 50);
    EXPECT_TRUE(json["passes"].toArray().isEmpty());

    QFile sceneFile(QDir(out).filePath(QStringLiteral("volume.kxscene")));
    ASSERT_TRUE(sceneFile.open(QIODevice::ReadOnly));
    const Result<SceneData> scene = readScene(sceneFile);
    ASSERT_TRUE(scene.ok()) << scene.error().toStdString();
    ASSERT_EQ(scene.value().size, (std::array<int, 3>{50, 50, 50}));
    EXPECT_EQ(scene.value().viewModes, (std::vector<std::int32_t>{-1, -1, -1}));

    // The masks, read back, as views with the same cameras.
    PerspectiveShadowObject reference;
    for (std::size_t k = 0; k < views.size(); ++k) {
        const QImage mask(QDir(out).filePath(QStringLiteral("mask%1.png").arg(k)));
        ASSERT_EQ(mask.size(), QSize(50, 50));
        ASSERT_TRUE(reference.addView(mask, QString(), views[k].camera).ok());
    }
    int cells = 0;
    std::vector<ByteMap> shadow(3, ByteMap(50, 50, 0));
    for (int x = 0; x < 50; ++x)
        for (int y = 0; y < 50; ++y)
            for (int z = 0; z < 50; ++z) {
                bool inAll = true;
                for (int k = 0; k < 3; ++k)
                    inAll = inAll && reference.view(k).project(x, y, z).inFigure;
                ASSERT_EQ(scene.value().occupancy[scene.value().cellIndex(x, y, z)] != 0, inAll)
                    << x << " " << y << " " << z;
                cells += inAll ? 1 : 0;
                for (int k = 0; k < 3 && inAll; ++k) {
                    const PerspectiveView::Projection p = reference.view(k).project(x, y, z);
                    shadow[std::size_t(k)].at(p.px, p.py) = 1;
                }
            }
    const QJsonObject initial = json["initial"].toObject();
    EXPECT_GT(cells, 0);
    EXPECT_EQ(initial["cells"].toInt(), cells);
    for (int k = 0; k < 3; ++k) {
        const ByteMap& figure = reference.view(k)._figure_mask;
        int missing = 0;
        for (int px = 0; px < 50; ++px)
            for (int py = 0; py < 50; ++py)
                missing += figure.at(px, py) && !shadow[std::size_t(k)].at(px, py) ? 1 : 0;
        EXPECT_EQ(initial["missing"].toArray()[k].toInt(), missing);
        EXPECT_EQ(initial["extra"].toArray()[k].toInt(), 0);
    }

    std::unique_ptr<TriMesh> hull(TriMesh::read(QDir(out).filePath(QStringLiteral("hull.obj")).toLocal8Bit().constData()));
    ASSERT_TRUE(hull);
    EXPECT_EQ(hull->vertices.size(), std::size_t(cells) * 8);
}

// Two passes on the example, pinned: the handles move pixels of the
// 200-pixel-wide pictures, a map pixel spanning cell size x 200 / 250 of
// them; handles scaled otherwise deform the pictures elsewhere (with the cell
// size alone the volume keeps some 14,000 cells).
TEST(PerspectiveCli, TwoPassesOnTheExampleGiveThePinnedVolume)
{
    QTemporaryDir dir;
    QStringList args{"perspective", "--passes", "2"};
    for (const PerspectiveViewSource& view : PerspectiveDesign::exampleViews(copyExample(dir)))
        args << viewArguments(view);
    const CliRun run = runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray passes = QJsonDocument::fromJson(run.out).object()["passes"].toArray();
    ASSERT_EQ(passes.size(), 2);
    EXPECT_EQ(passes[0].toObject()["cells"].toInt(), 21119);
    EXPECT_EQ(passes[1].toObject()["cells"].toInt(), 30082);
}

// One of each kind: a usage error, a rule of the adjustment, an unreadable picture.
TEST(PerspectiveCli, BadUsageFailsWithOneLine)
{
    QTemporaryDir dir;
    const QStringList view = viewArguments(PerspectiveDesign::exampleViews(copyExample(dir))[0]);
    const QStringList cases[] = {
        view.mid(0, 8),
        view + QStringList{"--passes", "1"},  // needs three views
        QStringList{"--view", dir.filePath("none.png")} + view.mid(2) + QStringList{"--passes", "0"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun run = runCli(QStringList{"perspective"} + args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
    }
}

#endif

}  // namespace
