// The design session: the workflow's steps and the lines they report, on
// pictures made here (written to a temporary folder, as the session reads
// files and caches picture meshes beside them).

#include "SyntheticPictures.h"

#include "files/ResultFiles.h"
#include "files/SceneFiles.h"
#include "session/DesignSession.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Session : public ::testing::Test {
protected:
    // A wide bar, a narrow bar and a disc: no volume casts all three.
    DesignSession::PictureFiles contradictingPictures()
    {
        const QRect shapes[3] = {{40, 60, 170, 130}, {100, 30, 50, 190}, {35, 35, 180, 180}};
        DesignSession::PictureFiles paths;
        for (int k = 0; k < 3; ++k) {
            QImage picture = pictureWithPixels({});
            QPainter painter(&picture);
            painter.setBrush(Qt::black);
            k < 2 ? painter.drawRect(shapes[k]) : painter.drawEllipse(shapes[k]);
            painter.end();
            paths[std::size_t(k)] = _dir.filePath(QStringLiteral("p%1.png").arg(k));
            EXPECT_TRUE(picture.save(paths[std::size_t(k)]));
        }
        return paths;
    }

    int missing() const
    {
        const DesignVolume::Counts& c = session.volume().counts();
        return c.missing[0] + c.missing[1] + c.missing[2];
    }

    QTemporaryDir _dir;
    DesignSession session;
};

TEST_F(Session, OptimizeLowersMissingPixelsAndKeepsRestPositions)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    const int before = missing();
    std::vector<int> progress;
    AdjustParameters parameters;
    parameters.preserveShape = false;
    const Report optimized = session.optimize(2, parameters, [&](int value) { progress.push_back(value); });
    EXPECT_EQ(lineOf(optimized), QStringLiteral("Optimized images."));
    EXPECT_EQ(progress, (std::vector<int>{25, 75}));
    EXPECT_EQ(session.counts().optimizePasses, 2);
    EXPECT_LT(missing(), before);
    const DeformationModel& picture = session.pictures().picture(0);
    EXPECT_EQ(picture.rest_positions().size(), picture.image_mesh().vertices.size());
}

TEST_F(Session, GreedyLayersStartWithABuildAfterEveryRecompute)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    EXPECT_EQ(lineOf(session.selectNextLayer()), QStringLiteral("Master volume computed."));
    const int hull = session.volume().counts().cells;
    EXPECT_EQ(lineOf(session.selectNextLayer()), QStringLiteral("Performed 4 greedy step(s)."));
    EXPECT_GT(session.volume().counts().cells, hull);
    EXPECT_EQ(session.counts().layers, 2);
    ASSERT_TRUE(session.recompute().ok());
    EXPECT_EQ(session.counts().layers, 0);
    EXPECT_EQ(lineOf(session.selectNextLayer()), QStringLiteral("Master volume computed."));
    EXPECT_EQ(session.volume().counts().cells, hull);
}

TEST_F(Session, FinalizeFillsTheChosenViewAndRefusesOtherSetUps)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    EXPECT_EQ(lineOf(session.finalize(all_ortho, 20.0f)), QStringLiteral("finalized results in X_PROJECTION-view."));
    // The narrow bar reaches above and below the wide one: its missing rows
    // lie 4 map pixels (squared 16) from the wide bar, inside the disc.
    const int before = session.volume().counts().cells;
    const int missingY = session.volume().counts().missing[1];
    EXPECT_EQ(lineOf(session.finalize(Y_PROJECTION, 20.0f)), QStringLiteral("finalized results in Y_PROJECTION-view."));
    EXPECT_GT(session.volume().counts().cells, before);
    EXPECT_LT(session.volume().counts().missing[1], missingY);
    const Report refused = session.finalize(FortyFive_PROJECTION, 20.0f);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(lineOf(refused), QStringLiteral("fillin_cluster_orthogonal: unhandled case"));
}

TEST_F(Session, ResolutionIncreaseRebuildsAtTheNewCellSize)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    EXPECT_EQ(lineOf(session.increaseResolution(4.0f)),
              QStringLiteral("initial shadow mesh computed."));
    EXPECT_EQ(session.volume().master()->resolution(), 62);
    EXPECT_EQ(session.volume().comparison(0).width(), 62);
    EXPECT_FALSE(session.increaseResolution(0.5f).ok());  // beyond 250 cells
    EXPECT_EQ(session.cellSize(), 4.0f);
    EXPECT_FALSE(session.setCellSize(std::numeric_limits<float>::quiet_NaN()));
}

TEST_F(Session, UndoAndRedoRefreshTheCounts)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    EXPECT_EQ(session.volume().master(), nullptr);
    EXPECT_EQ(lineOf(session.compute()), QStringLiteral("Computed shadow mesh."));
    ShadowObject& volume = *session.volume().master();
    const int cells = session.volume().counts().cells;
    CellIndex cell{-1, -1, -1};
    for (int x = 0; x < 50 && cell.x < 0; ++x)
        for (int z = 0; z < 50 && cell.x < 0; ++z)
            if (volume.isOccupied({x, 25, z}))
                cell = {x, 25, z};
    ASSERT_GE(cell.x, 0);
    EditableShadowObject::Snapshot snapshot;
    volume.takeSnapshot(snapshot);
    volume.setOccupied(cell, false);
    volume.recordEdit(snapshot);
    EXPECT_TRUE(session.volume().undo());
    EXPECT_EQ(session.volume().counts().cells, cells);
    EXPECT_FALSE(session.volume().undo());
    EXPECT_TRUE(session.volume().redo());
    EXPECT_EQ(session.volume().counts().cells, cells - 1);
}

// Six times the signed volume a closed mesh encloses: positive when its
// faces are wound outward.
double signedVolume(const TriMesh& mesh)
{
    double sum = 0.0;
    for (const TriMesh::Face& f : mesh.faces)
        sum += dot(mesh.vertices[f[0]], cross(mesh.vertices[f[1]], mesh.vertices[f[2]]));
    return sum;
}

TEST_F(Session, SurfacesFaceTheOccupiedSideOrOutward)
{
    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 10.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    const Result<TriMesh> raw = session.volume().contour(0.8f, 3, 3);
    ASSERT_TRUE(raw.ok());
    EXPECT_LT(signedVolume(raw.value()), 0.0);  // toward the occupied side
    const TriMesh* smooth = session.volume().smoothMesh(true);
    ASSERT_TRUE(smooth);
    EXPECT_GT(signedVolume(*smooth), 0.0);  // turned outward
    EXPECT_EQ(session.volume().smoothMesh(false), smooth);
    EXPECT_EQ(session.volume().contour(0.8f, 4, 3).error(), QStringLiteral("TriangulationReconstructor: failed!"));
    EXPECT_EQ(lineOf(saveContouredMesh(session, _dir.path(), QStringLiteral("Bicubic"), 0.8f)),
              QStringLiteral("strange mode selected!!"));
    EXPECT_EQ(lineOf(saveContouredMesh(session, _dir.path(), QStringLiteral("Linear"), 0.5f)),
              QStringLiteral("result written to ") + _dir.path() + QStringLiteral("/smoothed_edited_mesh.obj"));
}

TEST_F(Session, BadInputLeavesTheSessionAsItWas)
{
    const QString blank = _dir.filePath("blank.png"), absent = _dir.filePath("nothing.png");
    ASSERT_TRUE(pictureWithPixels({}).save(blank));
    EXPECT_EQ(lineOf(session.load({.paths = {blank, blank, blank}, .cellSize = 5.0f})),
              QStringLiteral("Picture %1 has no figure: it is all one tone.").arg(blank));
    EXPECT_TRUE(lineOf(session.load({.paths = {absent, blank, blank}, .cellSize = 5.0f}))
                    .startsWith(QStringLiteral("Cannot read picture %1: ").arg(absent)));
    EXPECT_FALSE(session.load({.set = 7, .paths = {blank, blank, blank}, .cellSize = 5.0f}).ok());
    EXPECT_FALSE(session.compute().ok());
    EXPECT_EQ(lineOf(session.finalize(X_PROJECTION, 4.0f)), QStringLiteral("nothing to process."));

    ASSERT_TRUE(session.load({.paths = contradictingPictures(), .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    const ShadowObject* volume = session.volume().master();
    EXPECT_FALSE(session.load({.paths = {blank, blank, blank}, .cellSize = 0.5f}).ok());
    EXPECT_FALSE(session.load({.paths = {absent, blank, blank}, .cellSize = 5.0f}).ok());
    EXPECT_EQ(session.volume().master(), volume);
    EXPECT_EQ(session.pictures().views().size(), 3u);
}

// Fewer views: two pictures carve their own volume, which holds every cell a
// third view would; views without pictures carve nothing and leave nothing
// to deform, yet every step after them runs.
TEST_F(Session, TwoViewsAndViewsWithoutPictures)
{
    const DesignSession::PictureFiles paths = contradictingPictures();
    const QString disc = paths[2], wide = paths[0], narrow = paths[1];
    ASSERT_TRUE(session.load({.paths = {disc, wide, narrow}, .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    const int threeViews = session.volume().counts().cells;
    EXPECT_EQ(lineOf(session.load({.paths = {disc, wide, QString()}, .cellSize = 5.0f, .count = 2})),
              QStringLiteral("Loaded 2 picture(s)."));
    ASSERT_TRUE(session.compute().ok());
    EXPECT_EQ(session.pictures().views().size(), 2u);
    EXPECT_GT(session.volume().counts().cells, threeViews);
    EXPECT_TRUE(session.pictures().picture(2).empty());

    EXPECT_EQ(lineOf(session.loadWithoutPictures(1, 5.0f)), QStringLiteral("Loaded three views without pictures."));
    EXPECT_EQ(session.pictures().viewMode(2), FortyFive_PROJECTION);
    EXPECT_TRUE(session.pictures().picture(0).empty() && !session.volume().exists());
    EXPECT_EQ(lineOf(session.compute()), QStringLiteral("intersection volume empty (please reposition images)."));
    EXPECT_TRUE(session.volume().exists() && session.volume().counts().cells == 0);
    AdjustParameters parameters;
    EXPECT_TRUE(session.optimize(1, parameters).ok());
    EXPECT_TRUE(session.selectNextLayer().ok() && session.selectNextLayer().ok());
    EXPECT_EQ(session.volume().counts().cells, 0);
    EXPECT_FALSE(session.loadWithoutPictures(3, 5.0f).ok());
}

// Placements are part of the design: moved by hand (and kept on the canvas),
// saved beside the scene, read back on open and used by the next load of the
// pictures; a damaged placement file refuses the scene; a reset clears them.
TEST_F(Session, PlacementsTravelWithTheScene)
{
    const DesignSession::PictureFiles paths = contradictingPictures();
    ASSERT_TRUE(session.load({.paths = paths, .cellSize = 5.0f}).ok());
    ASSERT_TRUE(session.compute().ok());
    const int before = session.volume().counts().cells;
    Placement moved;
    moved.scale = 0.8;
    moved.dx = 12;
    moved.quarterTurns = 1;
    moved.mirror = true;
    ASSERT_TRUE(session.placeByHand(1, moved).ok());  // the hull is rebuilt at once
    EXPECT_NE(session.volume().counts().cells, before);
    Placement tooFar;
    tooFar.dx = 400;
    ASSERT_TRUE(session.placeByHand(2, tooFar).ok());
    EXPECT_LT(session.pictures().placements()[2].dx, 400);  // clamped onto the canvas, not cut

    const QString scene = _dir.filePath("placed.kxscene");
    ASSERT_TRUE(saveScene(session, scene, {}).ok());
    DesignSession opened;
    ASSERT_TRUE(openScene(opened, scene).ok());
    EXPECT_EQ(opened.pictures().placements(), session.pictures().placements());
    DesignSession::PictureChoice again;
    again.paths = paths;
    again.placements = opened.pictures().placements();
    ASSERT_TRUE(opened.load(again).ok());
    ASSERT_TRUE(opened.compute().ok());
    EXPECT_EQ(opened.volume().counts().cells, session.volume().counts().cells);

    QFile damaged(_dir.filePath("placed_placement.txt"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("scale=2 turns=7\n");
    damaged.close();
    DesignSession refused;
    EXPECT_FALSE(openScene(refused, scene).ok());
    EXPECT_FALSE(refused.volume().exists());
    session.reset();
    EXPECT_EQ(session.pictures().placements(), DesignSession::Placements{});
}

}  // namespace
