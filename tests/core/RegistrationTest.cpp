// Rigid motions and registration: the screw motion of a velocity field, the
// composition order, the normal equations of both error terms on a pairing
// worked out by hand, and a model pulled back onto itself by every error term.

#include "completion/NuRegistration.h"
#include "completion/RigidTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

void expectNear(const Vec3& a, const Vec3& b, double tolerance = 1e-12)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(a[k], b[k], tolerance) << "component " << k;
}

std::unique_ptr<TriMesh> bunny()
{
    std::unique_ptr<TriMesh> mesh(
        TriMesh::read(KALVEX_SOURCE_DIR "/IncludedData/example_based_models/bunny.obj"));
    if (mesh) {
        remove_unused_vertices(mesh.get());
        mesh->move_mesh_to_center();
        mesh->need_bbox();
        mesh->scale_mesh(10.0f / len(mesh->bbox.size()));  // diagonal 10, as at a small cell size
    }
    return mesh;
}

}  // namespace

TEST(RegistrationMotion, ScrewMotionAndComposition)
{
    // c = 0: the pure translation cbar.
    expectNear(RigidTransform::fromVelocity({0, 0, 0}, {1, -2, 3}).apply(Vec3{4, 5, 6}), {5, 3, 9});

    // c = (0, 0, 1) about the axis through a = (1, 2, 0) with pitch h:
    // cbar = a × c + h c. A turn of atan(1) = 45° and a shift of h·45° along z.
    const double h = 0.5, angle = std::numbers::pi / 4;
    const RigidTransform screw = RigidTransform::fromVelocity({0, 0, 1}, {2, -1, h});
    expectNear(screw.apply(Vec3{1, 2, 7}), {1, 2, 7 + h * angle});
    expectNear(screw.apply(Vec3{2, 2, 0}), {1 + std::cos(angle), 2 + std::sin(angle), h * angle});

    // compose: this := other ∘ this, so the result applies this first.
    RigidTransform first = RigidTransform::rotation(std::numbers::pi / 2, {0, 0, 1});  // (x, y) -> (-y, x)
    first.t = {1, 0, 0};
    RigidTransform second = RigidTransform::rotation(std::numbers::pi / 2, {1, 0, 0});  // (y, z) -> (-z, y)
    second.t = {0, 0, 2};
    RigidTransform both = first;
    both.compose(second);
    expectNear(both.apply(Vec3{1, 2, 3}), second.apply(first.apply(Vec3{1, 2, 3})));
    expectNear(both.apply(Vec3{1, 2, 3}), {-1, -3, 3});
}

TEST(RegistrationSystem, NormalEquationsOfAHandMadePairing)
{
    // p1 = (1, 2, 3) over q1 = (1, 2, 2) with normal z; p2 = (0, 1, 0) beside
    // q2 = (0.5, 1, 0) with normal x.
    const std::vector<NuRegistration::Pair> pairs{
        {{1, 2, 3}, {1, 2, 2}, {0, 0, 1}},
        {{0, 1, 0}, {0.5f, 1, 0}, {1, 0, 0}},
    };
    // Σ [[|p|² I - p pᵀ, [p]x], [[p]xᵀ, I]] and b = Σ (p × d, d), d = p - q.
    const double pointToPoint[6][6] = {
        {14, -2, -3, 0, -3, 3},  //
        {-2, 10, -6, 3, 0, -1},  //
        {-3, -6, 6, -3, 1, 0},   //
        {0, 3, -3, 2, 0, 0},     //
        {-3, 0, 1, 0, 2, 0},     //
        {3, -1, 0, 0, 0, 2},
    };
    // Rows a1 = ((2, -1, 0), (0, 0, 1)), a2 = ((0, 0, -1), (1, 0, 0)) with
    // residuals 1 and -0.5.
    const double pointToPlane[6][6] = {
        {4, -2, 0, 0, 0, 2},  //
        {-2, 1, 0, 0, 0, -1}, //
        {0, 0, 1, -1, 0, 0},  //
        {0, 0, -1, 1, 0, 0},  //
        {0, 0, 0, 0, 0, 0},   //
        {2, -1, 0, 0, 0, 1},
    };
    const double b[6] = {2, -1, 0.5, -0.5, 0, 1};  // the same for both terms here

    const NuRegistration::NormalEquations pp = NuRegistration::pointToPoint(pairs);
    const NuRegistration::NormalEquations pl = NuRegistration::pointToPlane(pairs);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            EXPECT_DOUBLE_EQ(pp.A(r, c), pointToPoint[r][c]) << "point-to-point A(" << r << ", " << c << ")";
            EXPECT_DOUBLE_EQ(pl.A(r, c), pointToPlane[r][c]) << "point-to-plane A(" << r << ", " << c << ")";
        }
        EXPECT_DOUBLE_EQ(pp.b[r], b[r]) << "point-to-point b" << r;
        EXPECT_DOUBLE_EQ(pl.b[r], b[r]) << "point-to-plane b" << r;
    }
    EXPECT_DOUBLE_EQ(pp.error, 1.25);
    EXPECT_DOUBLE_EQ(pl.error, 1.25);
    EXPECT_EQ(pp.pairs, 2);
}

TEST(RegistrationRun, RecoversAKnownMotionOfAModelOntoItself)
{
    const std::unique_ptr<TriMesh> model = bunny();
    ASSERT_TRUE(model);
    RigidTransform moved = RigidTransform::rotation(0.12, {0.267261, 0.534522, 0.801784});
    moved.t = {0.3, -0.2, 0.25};

    for (int selector : {0, 1, 2}) {
        NuRegistration registration(*model, selector, 10.0, 0.0);
        registration.setSource(*model, moved, 1.0f);
        ASSERT_TRUE(registration.run(30).ok());
        EXPECT_EQ(registration.lastPairs(), int(model->vertices.size())) << "selector " << selector;
        // The accumulated transform undoes the motion: it maps the model onto itself.
        const RigidTransform& found = registration.transform();
        double worst = 0.0;
        for (std::size_t i = 0; i < model->vertices.size(); ++i) {
            worst = std::max(worst, double(len(found.apply(model->vertices[i]) - model->vertices[i])));
            worst = std::max(worst, double(len(registration.source().vertices[i] - model->vertices[i])));
        }
        EXPECT_LT(worst, 1e-3) << "selector " << selector;
    }

    // Another selector is refused and moves nothing.
    NuRegistration unknown(*model, 3, 10.0, 0.0);
    unknown.setSource(*model, moved, 1.0f);
    const Result<int> refused = unknown.run(1);
    EXPECT_EQ(refused.error().toStdString(),
              "NuRegistration::doRegistrationStep: Selected error term unknown at (3) or not implemented");
    EXPECT_EQ(unknown.source().vertices[0], moved.apply(model->vertices[0]));
}

// Point-to-plane pairs carry the target's normal: a flat target (normals +z)
// under a source tilted by 30 degrees, whose own normals lean away.
TEST(RegistrationPairs, CarryTheTargetNormal)
{
    TriMesh target;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            target.vertices.emplace_back(float(i), float(j), 0.0f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const int v = 5 * i + j;
            target.faces.emplace_back(v, v + 5, v + 6);
            target.faces.emplace_back(v, v + 6, v + 1);
        }
    RigidTransform tilt = RigidTransform::rotation(std::numbers::pi / 6, {1, 0, 0});
    tilt.t = {0.1, 0.2, 0.3};
    NuRegistration registration(target, NuRegistration::PointToPlane, 100.0, 0.0);
    registration.setSource(target, tilt, 1.0f);
    const std::vector<NuRegistration::Pair> pairs = registration.pairs();
    ASSERT_EQ(pairs.size(), target.vertices.size());
    for (const NuRegistration::Pair& pair : pairs) {
        EXPECT_NEAR(pair.n[0], 0.0f, 1e-6f);
        EXPECT_NEAR(pair.n[1], 0.0f, 1e-6f);
        EXPECT_NEAR(pair.n[2], 1.0f, 1e-6f);
        EXPECT_EQ(pair.q[2], 0.0f);  // a target vertex
    }
}
