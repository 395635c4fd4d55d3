#include "completion/NuRegistration.h"

#include "completion/Diagnostics.h"

namespace {

Vec3 toVec3(const point& p) { return {p[0], p[1], p[2]}; }

Vec3 cross3(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

}  // namespace

NuRegistration::NuRegistration(const TriMesh& target, int selector, double maxSquaredDistance,
                               double minNormalDot)
    : _selector(selector), _max_squared_distance(maxSquaredDistance), _min_normal_dot(minNormalDot)
{
    TriMesh copy;
    copy.vertices = target.vertices;
    copy.faces = target.faces;
    copy.need_normals();
    _target_vertices = std::move(copy.vertices);
    _target_normals = std::move(copy.normals);
    _index = std::make_unique<VertexIndex>(_target_vertices);
}

NuRegistration::~NuRegistration() = default;

QString NuRegistration::checkSelector(int selector)
{
    if (selector >= PointToPoint && selector <= Combined)
        return {};
    return QStringLiteral("NuRegistration::doRegistrationStep: Selected error term unknown at (%1) or not implemented")
        .arg(selector);
}

void NuRegistration::setSource(const TriMesh& model, const RigidTransform& initial, float scale)
{
    _transform = initial;
    _source = TriMesh();
    _source.vertices = model.vertices;
    _source.faces = model.faces;
    for (point& v : _source.vertices) {
        if (scale != 1.0f)
            v *= scale;
        v = initial.apply(v);
    }
}

std::vector<NuRegistration::Pair> NuRegistration::pairs()
{
    std::vector<Pair> result;
    _source.need_normals();
    for (std::size_t i = 0; i < _source.vertices.size(); ++i) {
        const point& p = _source.vertices[i];
        const VertexIndex::Nearest nearest = _index->nearest(p);
        if (nearest.index < 0 || nearest.squaredDistance > _max_squared_distance)
            continue;
        const std::size_t j = std::size_t(nearest.index);
        if (double(dot(_source.normals[i], _target_normals[j])) < _min_normal_dot)
            continue;
        result.push_back({p, _target_vertices[j], _target_normals[j]});
    }
    return result;
}

NuRegistration::NormalEquations NuRegistration::pointToPoint(const std::vector<Pair>& pairs)
{
    // Minimises sum |d + c × p + cbar|^2 with d = p - q. Per pair the upper
    // triangle of [[|p|^2 I - p pᵀ, [p]x], [., I]]; the identity block is the
    // pair count, added at the end.
    NormalEquations e;
    NuMatrix& A = e.A;
    for (const Pair& pair : pairs) {
        const Vec3 p = toVec3(pair.p);
        const Vec3 d{p[0] - pair.q[0], p[1] - pair.q[1], p[2] - pair.q[2]};
        const double pp = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        for (int r = 0; r < 3; ++r)
            for (int c = r; c < 3; ++c)
                A(r, c) += (r == c ? pp : 0.0) - p[r] * p[c];
        A(0, 4) -= p[2];
        A(0, 5) += p[1];
        A(1, 3) += p[2];
        A(1, 5) -= p[0];
        A(2, 3) -= p[1];
        A(2, 4) += p[0];
        const Vec3 pd = cross3(p, d);
        for (int k = 0; k < 3; ++k) {
            e.b[k] += pd[k];
            e.b[3 + k] += d[k];
        }
        e.error += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    }
    e.pairs = static_cast<int>(pairs.size());
    for (int k = 3; k < 6; ++k)
        A(k, k) = e.pairs;
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < r; ++c)
            A(r, c) = A(c, r);
    return e;
}

NuRegistration::NormalEquations NuRegistration::pointToPlane(const std::vector<Pair>& pairs)
{
    // Minimises sum (n·(d + c × p + cbar))^2: row a = (p × n, n), residual n·d.
    NormalEquations e;
    for (const Pair& pair : pairs) {
        const Vec3 p = toVec3(pair.p);
        const Vec3 n = toVec3(pair.n);
        const Vec3 pn = cross3(p, n);
        const double a[6] = {pn[0], pn[1], pn[2], n[0], n[1], n[2]};
        const double r = n[0] * (p[0] - pair.q[0]) + n[1] * (p[1] - pair.q[1]) + n[2] * (p[2] - pair.q[2]);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j)
                e.A(i, j) += a[i] * a[j];
            e.b[i] += r * a[i];
        }
        e.error += r * r;
    }
    e.pairs = static_cast<int>(pairs.size());
    return e;
}

Result<NuRegistration::Velocity> NuRegistration::doRegistrationStep()
{
    if (const QString problem = checkSelector(_selector); !problem.isEmpty()) {
        qCDebug(kalvexCompletion, "%s", qPrintable(problem));
        return fail(problem);
    }
    const std::vector<Pair> paired = pairs();
    NormalEquations e;
    if (_selector == PointToPoint) {
        e = pointToPoint(paired);
    } else if (_selector == PointToPlane) {
        e = pointToPlane(paired);
    } else {
        const NormalEquations pp = pointToPoint(paired), pl = pointToPlane(paired);
        const double w = _point_weight;
        e.A = pp.A * w + pl.A * (1.0 - w);
        e.b = pp.b * w + pl.b * (1.0 - w);
        e.error = w * pp.error + (1.0 - w) * pl.error;
        e.pairs = pp.pairs;
    }
    _last_pairs = e.pairs;
    _last_error = e.error;
    Velocity v;
    // Without a pair every entry is 0: the solver would report the singular
    // system and hand back the zero right-hand side, that is no motion.
    if (e.pairs == 0)
        return v;
    const NuVector x = e.A.solve(e.b * -1.0);
    if (x.size() != 6)
        return v;
    v.c = {x[0], x[1], x[2]};
    v.cbar = {x[3], x[4], x[5]};
    return v;
}

Result<int> NuRegistration::run(int iterations)
{
    for (int i = 0; i < iterations; ++i) {
        const Result<Velocity> step = doRegistrationStep();
        if (!step.ok())
            return fail(step.error());
        const RigidTransform motion = RigidTransform::fromVelocity(step.value().c, step.value().cbar);
        for (point& p : _source.vertices)
            p = motion.apply(p);
        _transform.compose(motion);
    }
    return iterations;
}
