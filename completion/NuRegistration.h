#pragma once
// Rigid registration by iterative closest points: a source mesh (an example
// model placed in the volume) is moved onto a fixed target mesh. Each step
// pairs source vertices with their nearest target vertices, linearises the
// motion as the velocity field v(x) = cbar + c × x, solves the 6 x 6 normal
// equations for x = (c, cbar) with NuMatrix::solve and applies the exact
// screw motion of that field (RigidTransform::fromVelocity).
//
// Error terms (the selector): 0 point-to-point, 1 point-to-plane, 2 both,
// weighted w and 1 - w. Any other selector is refused with an error line.

#include "completion/NuMatrix.h"
#include "completion/RigidTransform.h"
#include "completion/VertexIndex.h"
#include "surface/TriMesh.h"
#include "surface/Result.h"

#include <QString>

#include <memory>
#include <vector>

class NuRegistration {
public:
    enum ErrorTerm { PointToPoint = 0, PointToPlane = 1, Combined = 2 };

    // The linearised motion: v(x) = cbar + c × x.
    struct Velocity {
        Vec3 c{0.0, 0.0, 0.0};
        Vec3 cbar{0.0, 0.0, 0.0};
    };

    // A source vertex p paired with target vertex q, whose normal is n.
    struct Pair {
        point p, q;
        vec n;
    };

    // A·x = -b for x = (c, cbar), with the summed squared error of the pairs.
    struct NormalEquations {
        NuMatrix A{6, 6};
        NuVector b{6};
        double error = 0.0;
        int pairs = 0;
    };

    // Copies the target's vertices and normals and builds the index over the
    // vertices. Pairs are kept within `maxSquaredDistance` and when the two
    // normals' dot product is at least `minNormalDot`.
    NuRegistration(const TriMesh& target, int selector, double maxSquaredDistance, double minNormalDot);
    ~NuRegistration();
    NuRegistration(const NuRegistration&) = delete;
    NuRegistration& operator=(const NuRegistration&) = delete;

    // "" for a selector of 0, 1 or 2, else the line that refuses it.
    static QString checkSelector(int selector);

    // Source := `model` scaled by `scale`, then moved by `initial`, which
    // also starts the accumulated transform.
    void setSource(const TriMesh& model, const RigidTransform& initial, float scale);

    // Pairs of the current source, in source vertex order.
    std::vector<Pair> pairs();
    static NormalEquations pointToPoint(const std::vector<Pair>& pairs);
    static NormalEquations pointToPlane(const std::vector<Pair>& pairs);

    // The velocity that best moves the current source onto the target (the
    // source is not moved). Fails only for an unknown selector.
    Result<Velocity> doRegistrationStep();
    // `iterations` steps, each moving the source and composed into the
    // accumulated transform. Returns the steps run.
    Result<int> run(int iterations);

    // Maps the model (scaled) to where the source now is.
    const RigidTransform& transform() const { return _transform; }
    const TriMesh& source() const { return _source; }
    // Pairs and summed squared error of the last step.
    int lastPairs() const { return _last_pairs; }
    double lastError() const { return _last_error; }

    float _point_weight = 0.5f;  // w: share of the point-to-point term in the combined error

private:
    std::vector<point> _target_vertices;
    std::vector<vec> _target_normals;
    TriMesh _source;
    int _selector;
    double _max_squared_distance;
    double _min_normal_dot;
    RigidTransform _transform;
    std::unique_ptr<VertexIndex> _index;
    int _last_pairs = 0;
    double _last_error = 0.0;
};
