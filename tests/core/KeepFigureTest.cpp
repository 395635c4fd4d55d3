// Kept figures, automatic placement and the keep step: the hull prediction
// against the real volume builder, placement of a triple built to agree
// after known moves, and a keep step that never lowers the least kept view.

#include "volume/Arrange.h"
#include "volume/KeepFigure.h"
#include "volume/VolumeBuilder.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPolygon>

#include <cmath>
#include <functional>

namespace {

constexpr float kCell = 5.0f;
constexpr int kN = 50;

QImage whiteCanvas(int size = 250)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A filled ellipse, a filled triangle and a ring with a bar across: three
// figures that contradict each other.
std::array<QImage, 3> discTriangleRing(QPoint centre, QSize radii, const QPolygon& triangle, int ringRadius,
                                       int ringWidth, QLine bar)
{
    std::array<QImage, 3> c{whiteCanvas(), whiteCanvas(), whiteCanvas()};
    QPainter p0(&c[0]);
    p0.setPen(Qt::NoPen);
    p0.setBrush(Qt::black);
    p0.drawEllipse(centre, radii.width(), radii.height());
    QPainter p1(&c[1]);
    p1.setPen(Qt::NoPen);
    p1.setBrush(Qt::black);
    p1.drawPolygon(triangle);
    QPainter p2(&c[2]);
    p2.setPen(QPen(Qt::black, ringWidth));
    p2.setBrush(Qt::NoBrush);
    p2.drawEllipse(QPoint(125, 125), ringRadius, ringRadius);
    p2.drawLine(bar);
    return c;
}

// The three in the middle of the canvas.
std::array<QImage, 3> contradictingCanvases()
{
    return discTriangleRing({110, 140}, {80, 60}, QPolygon({QPoint(125, 15), QPoint(235, 230), QPoint(30, 200)}), 85,
                            22, QLine(40, 125, 210, 125));
}

std::unique_ptr<ShadowObject> hullOf(std::vector<ShadowView>& views, const std::array<QImage, 3>& canvases, int set,
                                     float cellSize = kCell)
{
    const std::array<int, 3> modes = *projectionSetModes(set);
    for (int k = 0; k < 3; ++k)
        views.emplace_back(canvases[std::size_t(k)], QString(), modes[std::size_t(k)], cellSize);
    quantizeViews(views);
    return buildMaster(views, cellSize);
}

Figure figureFrom(const QImage& picture)
{
    return figureOf(picture).value();
}

// A voxel object whose cells every view of every set sees, large enough
// that every shadow's larger side is 60 % of the canvas, and its shadow
// pictures, drawn as blocks of the cells.
bool inObject(int x, int y, int z)
{
    const bool boxA = x >= 14 && x < 28 && y >= 8 && y < 16 && z >= 5 && z < 40;
    const bool boxB = x >= 24 && x < 45 && y >= 3 && y < 23 && z >= 25 && z < 35;
    const int dx = x - 32, dy = y - 14, dz = z - 14;
    return boxA || boxB || dx * dx + dy * dy + dz * dz <= 36;
}

// The object's shadow in `mode`, each map pixel a block of `block` picture
// pixels, the whole shifted by `shift` picture pixels, on a square picture
// of `size` pixels.
QImage shadowPicture(int mode, int block, QPoint shift, int size)
{
    QImage image = whiteCanvas(size);
    QPainter p(&image);
    for (int x = 0; x < kN; ++x)
        for (int y = 0; y < kN; ++y)
            for (int z = 0; z < kN; ++z)
                if (inObject(x, y, z)) {
                    const Pixel px = pixelOfCell(mode, x, y, z);
                    if (px.column >= 0 && px.column < kN)
                        p.fillRect(px.column * block + shift.x(), px.row * block + shift.y(), block, block, Qt::black);
                }
    return image;
}

}  // namespace

TEST(KeptFigure, IntersectionOverUnion)
{
    ByteMap a(4, 4, 0), b(4, 4, 0);
    EXPECT_DOUBLE_EQ(keptFigure(a, b), 1.0);  // both empty
    a.at(0, 0) = a.at(1, 0) = a.at(2, 3) = 1;
    b.at(1, 0) = b.at(2, 3) = b.at(3, 3) = b.at(0, 1) = 1;
    EXPECT_DOUBLE_EQ(keptFigure(a, b), 2.0 / 5.0);
    EXPECT_DOUBLE_EQ(keptFigure(a, a), 1.0);
    EXPECT_DOUBLE_EQ(keptFigure(a, ByteMap(4, 5, 0)), 0.0);

    // On the canvas a block counts by the figure it holds: a shadow block
    // that is a quarter figure adds a quarter inside and three outside.
    QImage canvas = whiteCanvas();
    QPainter(&canvas).fillRect(0, 0, 5, 10, Qt::black);     // blocks (0, 0) and (0, 1)
    QPainter(&canvas).fillRect(10, 0, 5, 2, Qt::black);     // 10 of block (2, 0)'s 25 pixels
    const std::vector<float> cover = figureCover(canvas, kCell);
    EXPECT_FLOAT_EQ(cover[0 * kN + 0], 1.0f);
    EXPECT_FLOAT_EQ(cover[2 * kN + 0], 0.4f);
    ShadowObject master = ShadowObject(kCell);
    master.setViewModes({X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    master.setOccupied({5, 0, 0}, true);  // Z pixel (5, 0): no figure; Y pixel (5, 0) too
    master.setOccupied({2, 0, 0}, true);  // Z and Y pixel (2, 0)
    const ViewFigures figures = viewFigures({canvas, canvas, canvas}, kCell);
    const KeptValues kept = keptOnCanvas(master, figures);
    // Y and Z: inside 0.4, outside 0.6 + 1, figure 2.4.
    EXPECT_NEAR(kept[2], 0.4 / (2.4 + 1.6), 1e-6);
    EXPECT_NEAR(kept[1], kept[2], 1e-9);
    EXPECT_NEAR(kept[0], 1.0 / 2.4, 1e-6);  // X sees pixel (0, 0) only
}

TEST(KeptFigure, HullPredictionMatchesTheBuiltVolume)
{
    const std::array<QImage, 3> canvases = contradictingCanvases();
    for (int set = 0; set < 3; ++set) {
        std::vector<ShadowView> views;
        const std::unique_ptr<ShadowObject> master = hullOf(views, canvases, set);
        const ViewFigures figures = viewFigures(canvases, kCell);
        const KeptValues built = keptFigures(*master, figures.maps);
        const KeptValues predicted = hullKept(canvases, set, kCell);
        for (int k = 0; k < 3; ++k)
            EXPECT_DOUBLE_EQ(predicted[std::size_t(k)], built[std::size_t(k)]) << "set " << set << " view " << k;
        EXPECT_LT(worstKept(built), 0.9) << "set " << set;  // they do contradict
    }
}

TEST(Arrange, FindsTheMovesThatMakeABuiltTripleAgree)
{
    for (const int set : {0, 2}) {  // the axis views; the oblique ones (set 1 uses the same code)
        const std::array<int, 3> modes = *projectionSetModes(set);
        // Each picture agrees with the others only once moved back: shifted
        // on a 250 canvas; drawn twice as large on a 500 picture and
        // shifted; drawn on a 200 picture (fitted up by 1.25) and shifted.
        const std::array<Figure, 3> figures{
            figureFrom(shadowPicture(modes[0], 5, QPoint(20, -15), 250)),
            figureFrom(shadowPicture(modes[1], 10, QPoint(-60, 20), 500)),
            figureFrom(shadowPicture(modes[2], 4, QPoint(8, 12), 200)),
        };
        std::vector<double> progress;
        ArrangeOptions options;
        options.progress = [&](double v) { progress.push_back(v); };
        const Result<Arrangement> arranged = arrange(figures, set, kCell, options);
        ASSERT_TRUE(arranged.ok()) << arranged.error().toStdString();
        std::array<QImage, 3> canvases;
        for (int k = 0; k < 3; ++k) {
            const Placement& p = arranged.value().placements[std::size_t(k)];
            ASSERT_TRUE(placementFits(figures[std::size_t(k)], p)) << placementText(p).toStdString();
            canvases[std::size_t(k)] = placeFigure(figures[std::size_t(k)], p).value();
        }
        std::vector<ShadowView> views;
        const std::unique_ptr<ShadowObject> master = hullOf(views, canvases, set);
        const KeptValues kept = keptFigures(*master, viewFigures(canvases, kCell).maps);
        EXPECT_GE(worstKept(kept), 0.98) << "set " << set << " " << placementsText(arranged.value().placements).toStdString() << kept[0] << " " << kept[1] << " " << kept[2] << " canvas " << arranged.value().onCanvas[0] << " " << arranged.value().onCanvas[1] << " " << arranged.value().onCanvas[2];
        for (int k = 0; k < 3; ++k)
            EXPECT_DOUBLE_EQ(arranged.value().kept[std::size_t(k)], kept[std::size_t(k)]) << "set " << set;
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_DOUBLE_EQ(progress.back(), 1.0);

        // The same input, the same placements.
        if (set == 0) {
            const Result<Arrangement> again = arrange(figures, set, kCell);
            EXPECT_EQ(again.value().placements, arranged.value().placements);
        }
    }
}

TEST(Arrange, RefusesBadInput)
{
    const Figure f = figureFrom(shadowPicture(X_PROJECTION, 5, QPoint(), 250));
    EXPECT_FALSE(arrange({f, f, f}, 3, kCell).ok());
    EXPECT_FALSE(arrange({f, f, f}, 0, 0.5f).ok());
    EXPECT_FALSE(arrange({f, Figure{}, f}, 0, kCell).ok());
}

TEST(KeepFigure, NeverLowersTheLeastKeptView)
{
    const std::array<QImage, 3> canvases = contradictingCanvases();
    // Cells of 10 (25 per axis) keep the test quick.
    const float cell = 10.0f;
    const int n = 25;
    const ViewFigures figures = viewFigures(canvases, cell);
    struct Case {
        int set;
        bool onCanvas;
        bool extras;  // stray cells as optimise passes leave them
    } cases[] = {{0, true, false}, {0, false, false}, {1, true, false}, {2, true, false}, {0, true, true}, {2, false, true}};
    for (const Case& c : cases) {
        std::vector<ShadowView> views;
        std::unique_ptr<ShadowObject> master = hullOf(views, canvases, c.set, cell);
        if (c.extras)
            for (int i = 0; i < 100; ++i)
                master->setOccupied({(i * 7) % n, (i * 13) % n, (i * 29) % n}, true);
        const auto measure = [&] { return c.onCanvas ? keptOnCanvas(*master, figures) : keptFigures(*master, figures.maps); };
        const KeptValues before = measure();
        KeepOptions options;
        options.onCanvas = c.onCanvas;
        const KeepReport report = keepFigure(*master, figures, options);
        const KeptValues after = measure();
        const std::string name = "set " + std::to_string(c.set) + (c.onCanvas ? " canvas" : " maps") + (c.extras ? " extras" : "");
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(report.before[std::size_t(k)], before[std::size_t(k)], 1e-9) << name;
            EXPECT_NEAR(report.after[std::size_t(k)], after[std::size_t(k)], 1e-9) << name;
        }
        EXPECT_GT(worstKept(after), worstKept(before) + 0.02) << name;
        EXPECT_GT(report.added + report.removed, 0) << name;
        // The shadow maps are those of the volume now.
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(master->reprojectionMap(k), master->castShadow(master->viewModes()[std::size_t(k)])) << name;
        // No occupied cell falls beyond a picture.
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z)
                    if (master->isOccupied({x, y, z}) && !c.extras)
                        for (int k = 0; k < 3; ++k) {
                            const int column = pixelOfCell(master->viewModes()[std::size_t(k)], x, y, z).column;
                            ASSERT_TRUE(column >= 0 && column < n) << name;
                        }
        // A second run finds nothing more to win.
        const KeepReport again = keepFigure(*master, figures, options);
        EXPECT_GE(worstKept(again.after), worstKept(after) - 1e-12) << name;
    }
}

// Rays tried as bits make the moves of trying them cell by cell: the same
// cells and the same report, along the axes (set 0) and in planes (set 1:
// X, Y, 45 degrees; set 2: X, 60, 120 degrees, whose widened column 0 is
// tried cell by cell either way), for figures in the middle of the canvas
// and for figures that reach its borders (cells on the grid's border), at
// cell sizes whose weights sum exactly in any order (4) and not (5, 10), on
// the canvas and on the maps, with stray cells.
TEST(KeepFigure, RowsOfBitsMakeTheMovesOfCells)
{
    // The three reaching the canvas's borders.
    const std::array<QImage, 3> borders =
        discTriangleRing({125, 125}, {135, 110}, QPolygon({QPoint(0, 0), QPoint(250, 130), QPoint(0, 250)}), 110, 30,
                         QLine(0, 40, 250, 40));
    const struct {
        const char* name;
        int set;
        std::array<QImage, 3> canvases;
        float cell;
        bool onCanvas;
        bool extras;
    } cases[] = {
        {"middle 4", 0, contradictingCanvases(), 4.0f, true, false},
        {"middle 5", 0, contradictingCanvases(), 5.0f, true, true},
        {"middle 10 maps", 0, contradictingCanvases(), 10.0f, false, true},
        {"borders 4", 0, borders, 4.0f, true, true},
        {"borders 5", 0, borders, 5.0f, true, false},
        {"borders 10 maps", 0, borders, 10.0f, false, false},
        {"set 1 middle 8", 1, contradictingCanvases(), 8.0f, true, true},
        {"set 1 middle 10", 1, contradictingCanvases(), 10.0f, true, false},
        {"set 1 borders 8", 1, borders, 8.0f, true, false},
        {"set 1 borders 10 maps", 1, borders, 10.0f, false, true},
        {"set 2 middle 8", 2, contradictingCanvases(), 8.0f, true, false},
        {"set 2 middle 10 maps", 2, contradictingCanvases(), 10.0f, false, false},
        {"set 2 borders 8", 2, borders, 8.0f, true, true},
        {"set 2 borders 10", 2, borders, 10.0f, true, true},
    };
    for (const auto& c : cases) {
        std::vector<ShadowView> views;
        const std::unique_ptr<ShadowObject> hull = hullOf(views, c.canvases, c.set, c.cell);
        const int n = hull->resolution();
        if (c.extras)
            for (int i = 0; i < 150; ++i)
                hull->setOccupied({(i * 7) % n, (i * 13) % n, (i * 29) % n}, true);
        const ViewFigures figures = viewFigures(c.canvases, c.cell);
        ShadowObject byBits(*hull), byCells(*hull);
        KeepOptions options;
        options.onCanvas = c.onCanvas;
        const KeepReport bits = keepFigure(byBits, figures, options);
        options.rowsOfBits = false;
        const KeepReport cells = keepFigure(byCells, figures, options);
        EXPECT_GT(bits.added + bits.removed, 0) << c.name;
        EXPECT_EQ(bits.added, cells.added) << c.name;
        EXPECT_EQ(bits.removed, cells.removed) << c.name;
        EXPECT_EQ(bits.rounds, cells.rounds) << c.name;
        EXPECT_EQ(bits.after, cells.after) << c.name;
        int differing = 0, onBorder = 0;
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z) {
                    differing += byBits.isOccupied({x, y, z}) != byCells.isOccupied({x, y, z});
                    onBorder += byBits.isOccupied({x, y, z}) && (std::min({x, y, z}) == 0 || std::max({x, y, z}) == n - 1);
                }
        EXPECT_EQ(differing, 0) << c.name;
        if (std::string(c.name).find("borders") != std::string::npos) {
            EXPECT_GT(onBorder, 0) << c.name;
        }
    }
}

TEST(KeepFigure, BestPassKeepsTheStateThatKeepsMost)
{
    const std::array<QImage, 3> canvases = contradictingCanvases();
    const ViewFigures figures = viewFigures(canvases, kCell);
    std::vector<ShadowView> views;
    std::unique_ptr<ShadowObject> master = hullOf(views, canvases, 0);
    const ShadowObject hull = *master;
    BestPass best(figures);
    EXPECT_EQ(best.bestPass(), -1);
    ShadowObject empty = *master;
    for (int x = 0; x < kN; ++x)
        for (int y = 0; y < kN; ++y)
            for (int z = 0; z < kN; ++z)
                empty.setOccupied({x, y, z}, false);
    EXPECT_TRUE(best.offer(empty, 0));
    EXPECT_TRUE(best.offer(*master, 1));
    keepFigure(*master, figures);
    const ShadowObject kept = *master;
    EXPECT_TRUE(best.offer(*master, 2));
    EXPECT_FALSE(best.offer(hull, 3));
    EXPECT_FALSE(best.offer(kept, 4));  // the first among equals
    EXPECT_EQ(best.bestPass(), 2);
    EXPECT_EQ(best.bestKept(), keptOnCanvas(kept, figures));

    ShadowObject other = hull;
    ASSERT_TRUE(best.restore(other));
    EXPECT_EQ(other.occupiedCount(), kept.occupiedCount());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(other.castShadow(other.viewModes()[std::size_t(k)]), kept.castShadow(kept.viewModes()[std::size_t(k)]));
    ShadowObject coarse(10.0f);
    EXPECT_FALSE(best.restore(coarse));
}


// A box whose shadows are the figures has nothing to win, but its hollows
// are occupied: one closed in on every side, and one cell that reaches the
// outside only along an edge (the box's edge there is free). A free cell on
// the box's face stays free, as do the cells of its free edge.
TEST(KeepFigure, FillsHollowsThatShadeNothingNew)
{
    ShadowObject master(kCell);
    master.setViewModes({X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    const auto inBox = [](int a) { return a >= 10 && a < 30; };
    const auto inHollow = [](int a) { return a >= 14 && a < 18; };
    for (int x = 0; x < kN; ++x)
        for (int y = 0; y < kN; ++y)
            for (int z = 0; z < kN; ++z)
                master.setOccupied({x, y, z}, inBox(x) && inBox(y) && inBox(z) && !(inHollow(x) && inHollow(y) && inHollow(z)));
    for (int z = 10; z < 30; ++z)
        master.setOccupied({10, 10, z}, false);  // the free edge
    master.setOccupied({11, 11, 20}, false);      // beside it only along an edge
    master.setOccupied({29, 20, 20}, false);      // on the face
    ViewFigures figures;
    for (std::size_t k = 0; k < 3; ++k) {
        figures.maps[k] = master.castShadow(master.viewModes()[k]);
        figures.cover[k].resize(std::size_t(kN) * kN);
        for (int p = 0; p < kN * kN; ++p)
            figures.cover[k][std::size_t(p)] = figures.maps[k].at(p / kN, p % kN);
    }
    const int before = master.occupiedCount();
    const KeepReport report = keepFigure(master, figures);
    EXPECT_EQ(report.added, 4 * 4 * 4 + 1);
    EXPECT_EQ(report.removed, 0);
    EXPECT_EQ(master.occupiedCount(), before + report.added);
    EXPECT_TRUE(master.isOccupied({15, 16, 17}));
    EXPECT_TRUE(master.isOccupied({11, 11, 20}));
    EXPECT_FALSE(master.isOccupied({29, 20, 20}));
    EXPECT_FALSE(master.isOccupied({10, 10, 20}));
    for (int k = 0; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(report.before[std::size_t(k)], 1.0);
        EXPECT_DOUBLE_EQ(report.after[std::size_t(k)], 1.0);
        EXPECT_EQ(master.castShadow(master.viewModes()[std::size_t(k)]), figures.maps[std::size_t(k)]);
    }
}
