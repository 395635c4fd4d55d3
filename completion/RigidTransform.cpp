#include "completion/RigidTransform.h"

#include <cmath>

namespace {

double dot3(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross3(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

}  // namespace

RigidTransform RigidTransform::rotation(double angle, const Vec3& axis)
{
    const double w = std::cos(angle / 2.0), s = std::sin(angle / 2.0);
    const double x = s * axis[0], y = s * axis[1], z = s * axis[2];
    RigidTransform m;
    m.R = {1.0 - 2.0 * (y * y + z * z), 2.0 * (x * y - w * z),       2.0 * (x * z + w * y),
           2.0 * (x * y + w * z),       1.0 - 2.0 * (x * x + z * z), 2.0 * (y * z - w * x),
           2.0 * (x * z - w * y),       2.0 * (y * z + w * x),       1.0 - 2.0 * (x * x + y * y)};
    return m;
}

RigidTransform RigidTransform::fromVelocity(const Vec3& c, const Vec3& cbar)
{
    const double norm2 = dot3(c, c);
    const double norm = std::sqrt(norm2);
    if (norm < 1e-8) {
        RigidTransform m;
        m.t = cbar;
        return m;
    }
    const Vec3 g{c[0] / norm, c[1] / norm, c[2] / norm};
    const double pitch = dot3(c, cbar) / norm2;
    const Vec3 perpendicular{cbar[0] - pitch * c[0], cbar[1] - pitch * c[1], cbar[2] - pitch * c[2]};
    Vec3 a = cross3(g, perpendicular);  // the axis point nearest the origin
    for (double& v : a)
        v /= norm;
    const double angle = std::atan(norm);
    RigidTransform m = rotation(angle, g);
    const Vec3 ra = m.apply(a);  // t is still 0, so this is R·a
    for (int k = 0; k < 3; ++k)
        m.t[k] = a[k] + pitch * angle * g[k] - ra[k];
    return m;
}

Vec3 RigidTransform::apply(const Vec3& x) const
{
    return {R[0] * x[0] + R[1] * x[1] + R[2] * x[2] + t[0], R[3] * x[0] + R[4] * x[1] + R[5] * x[2] + t[1],
            R[6] * x[0] + R[7] * x[1] + R[8] * x[2] + t[2]};
}

point RigidTransform::apply(const point& x) const
{
    const Vec3 y = apply(Vec3{x[0], x[1], x[2]});
    return {static_cast<float>(y[0]), static_cast<float>(y[1]), static_cast<float>(y[2])};
}

void RigidTransform::compose(const RigidTransform& other)
{
    RigidTransform result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            result.R[r * 3 + c] =
                other.R[r * 3] * R[c] + other.R[r * 3 + 1] * R[3 + c] + other.R[r * 3 + 2] * R[6 + c];
    result.t = other.apply(t);
    *this = result;
}
