// Example-based completion: which shadow pixels become placements and in
// what order, the distances of the cells to the smooth surface, the rand()
// draws of one placement, the drop of a drifted placement and the numbered
// files of the kept ones, and failures returned instead of ending the program.

#include "completion/ExampleCompletion.h"
#include "completion/VertexDistanceField.h"
#include "volume/ShadowObject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>

namespace {

const QString kModels = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/example_based_models");

// N = 25 (cell size 10), the cells of [lo, hi]^3 occupied.
std::unique_ptr<ShadowObject> blockVolume(int lo, int hi)
{
    auto volume = std::make_unique<ShadowObject>(10.0f);
    for (int x = lo; x <= hi; ++x)
        for (int y = lo; y <= hi; ++y)
            for (int z = lo; z <= hi; ++z)
                volume->setOccupied({x, y, z}, true);
    return volume;
}

}  // namespace

TEST(ExampleCandidates, SpacedBoundaryPixelsThenSpacedInteriorPixels)
{
    // Columns 1..5, rows 0..4 set in a 7 x 7 map. Row 0 lies on the map's
    // edge: with clamped neighbours only its ends are boundary pixels.
    ByteMap map(7, 7, 0);
    for (int i = 1; i <= 5; ++i)
        for (int j = 0; j <= 4; ++j)
            map.at(i, j) = 1;
    const std::vector<Pixel> expected{
        {1, 0}, {1, 2}, {1, 4}, {3, 4}, {5, 0}, {5, 2}, {5, 4},  // boundary, 3.1 apart
        {3, 0}, {3, 2},                                          // interior, 3.1 from those, 2.1 apart
    };
    EXPECT_EQ(ExampleCompletion::candidatePixels(Z_PROJECTION, map), expected);
    EXPECT_EQ(ExampleCompletion::candidatePixels(FortyFive_PROJECTION, map), expected);
    EXPECT_TRUE(ExampleCompletion::candidatePixels(NO_PROJECTION, map).empty());
}

TEST(ExampleDistances, CellDistancesAreExactNearestVertexDistances)
{
    // A lumpy volume: a few overlapping balls.
    auto volume = std::make_unique<ShadowObject>(10.0f);
    std::mt19937 random(7);
    for (int ball = 0; ball < 5; ++ball) {
        const int cx = 6 + int(random() % 13), cy = 6 + int(random() % 13), cz = 4 + int(random() % 17);
        const int r = 2 + int(random() % 4);
        for (int x = 0; x < 25; ++x)
            for (int y = 0; y < 25; ++y)
                for (int z = 0; z < 25; ++z)
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r)
                        volume->setOccupied({x, y, z}, true);
    }
    ExampleCompletion completion;
    ASSERT_TRUE(completion.prepare(*volume).ok());
    int mismatches = 0;
    for (int x = 0; x < 25; ++x) {
        for (int y = 0; y < 25; ++y) {
            for (int z = 0; z < 25; ++z) {
                double best = 1e300;
                for (const point& p : completion.target()->vertices)
                    best = std::min(best, gridSquaredDistance(p, x, y, z));
                const float d = static_cast<float>(std::sqrt(best));
                const float expected = volume->isOccupied({x, y, z}) ? -d : d;
                if (completion.cellDistance(x, y, z) != expected && ++mismatches <= 5)
                    ADD_FAILURE() << "cell " << x << ", " << y << ", " << z << ": " << completion.cellDistance(x, y, z)
                                  << " instead of " << expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ExamplePlacing, OnePlacementDrawsCellTurnAndModelInOrder)
{
    // One shadow pixel whose ray along z crosses the block at (12, 12, 5..19).
    const auto volume = blockVolume(5, 19);
    ShadowView view;
    view._projection_mode = Z_PROJECTION;
    view._image_map = ByteMap(25, 25, 0);
    view._image_map.at(12, 12) = 1;
    volume->setSourceViews({&view});

    ExampleCompletion completion;
    ASSERT_EQ(completion.loadDatabase(kModels, 25.0f).value(), 4);  // diagonals of 1
    ASSERT_TRUE(completion.prepare(*volume).ok());

    // A seed whose cell lies so deep that no model vertex finds a surface
    // vertex to pair with: the registration then leaves the pose as drawn.
    auto draw = [] { return std::rand() / (double(RAND_MAX) + 1.0) - 0.5; };
    unsigned seed = 1;
    int z = 0;
    for (;; ++seed) {
        std::srand(seed);
        z = 5 + std::rand() % 15;
        if (std::fabs(completion.cellDistance(12, 12, z)) > 3.5f)
            break;
    }
    std::srand(seed);
    std::rand();
    const double r1 = draw(), r2 = draw(), r3 = draw(), r4 = draw();
    const int model = std::rand() % 4;

    std::srand(seed);
    double done = 0.0;
    ASSERT_EQ(completion.place([&](double fraction) { done = fraction; }).value(), 1);
    EXPECT_EQ(done, 1.0);
    const ModelPlacement& placed = completion.placements()[0];
    EXPECT_EQ(placed.model, model);
    EXPECT_EQ(placed.scale, std::clamp(std::fabs(completion.cellDistance(12, 12, z)) / 2.0f, 0.8f, 3.0f));
    EXPECT_EQ(placed.transform.t, (Vec3{12, 12, double(z)}));
    const double norm = std::sqrt(r2 * r2 + r3 * r3 + r4 * r4);
    const RigidTransform turn = RigidTransform::rotation(r1 * std::numbers::pi, {r4 / norm, r3 / norm, r2 / norm});
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(placed.transform.R[k], turn.R[k], 1e-12) << "R" << k;
    EXPECT_EQ(completion.resultMesh().vertices.size(), completion.model(model).vertices.size());
}

TEST(ExampleResult, DriftedPlacementIsDroppedAndKeptOnesAreNumberedFrom100)
{
    const auto volume = blockVolume(8, 16);
    ExampleCompletion completion;
    ASSERT_TRUE(completion.loadModel(kModels + "/bunny.obj", 10.0f));
    ASSERT_TRUE(completion.prepare(*volume).ok());
    const TriMesh& model = completion.model(0);
    const point first = model.vertices[0];
    const float edge = completion.target()->bbox.max[0];

    // Placements whose first vertex lands at x = `x` (no turn, scale 1).
    auto at = [&](float x) {
        ModelPlacement p;
        p.transform.t = {double(x - first[0]), double(12.0f - first[1]), double(12.0f - first[2])};
        return p;
    };
    completion.placements() = {at(12.0f), at(edge + 3.9f), at(edge + 4.1f), at(10.0f)};
    completion.rebuildResultMesh();

    EXPECT_EQ(completion.keptCount(), 3);
    EXPECT_FALSE(completion.placements()[2].kept);
    const TriMesh& result = completion.resultMesh();
    const int m = int(model.vertices.size());
    ASSERT_EQ(result.vertices.size(), 3u * model.vertices.size());
    EXPECT_EQ(result.faces.size(), 3u * model.faces.size());
    EXPECT_EQ(result.faces[model.faces.size()][0], model.faces[0][0] + m);
    EXPECT_FLOAT_EQ(result.vertices[std::size_t(2 * m)][0], 10.0f);  // the fourth placement, third kept

    QTemporaryDir dir;
    const Result<QString> saved = completion.saveSeparateMeshes(dir.path());
    ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
    EXPECT_EQ(saved.value(), dir.filePath("exampleBasedResults/output100.obj"));
    const QStringList files = QDir(dir.filePath("exampleBasedResults")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"output100.obj", "output101.obj", "output102.obj"}));
    std::unique_ptr<TriMesh> last(TriMesh::read(QFile::encodeName(dir.filePath("exampleBasedResults/output102.obj"))));
    ASSERT_TRUE(last);
    EXPECT_FLOAT_EQ(last->vertices[0][0], 10.0f);
}

TEST(ExampleFailures, ReturnedAsLines)
{
    ExampleCompletion completion;
    EXPECT_FALSE(completion.place().ok());  // nothing prepared
    EXPECT_EQ(completion.loadDatabase(QStringLiteral("/nonexistent"), 5.0f).ok(), false);

    const auto empty = std::make_unique<ShadowObject>(10.0f);
    EXPECT_EQ(completion.prepare(*empty).error().toStdString(), "failed to contour voxels -> mesh.");

    // A volume without views offers no shadow pixel: no placement.
    const auto volume = blockVolume(8, 16);
    ASSERT_EQ(completion.loadDatabase(kModels, 10.0f).value(), 4);
    ASSERT_TRUE(completion.prepare(*volume).ok());
    const Result<int> placed = completion.place();
    EXPECT_FALSE(placed.ok());
    EXPECT_FALSE(placed.error().isEmpty());
    EXPECT_FALSE(completion.refine(5, 1, 10.0).ok());
}
