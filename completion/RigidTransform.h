#pragma once
// A rigid motion x -> R·x + t in double precision, R a 3 x 3 rotation stored
// row-major. Example models are placed with one and moved by registration.

#include "surface/TriMesh.h"

#include <array>

using Vec3 = std::array<double, 3>;

class RigidTransform {
public:
    std::array<double, 9> R{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    Vec3 t{0.0, 0.0, 0.0};

    static RigidTransform identity() { return {}; }
    // Rotation by `angle` (radians) about the unit vector `axis`, built from
    // the unit quaternion (cos(angle/2), sin(angle/2)·axis).
    static RigidTransform rotation(double angle, const Vec3& axis);
    // The exact motion for the velocity field v(x) = cbar + c × x: a turn by
    // atan(|c|) about the field's axis with the matching shift along it (a
    // screw motion); the pure translation cbar when |c| < 1e-8.
    static RigidTransform fromVelocity(const Vec3& c, const Vec3& cbar);

    Vec3 apply(const Vec3& x) const;
    point apply(const point& x) const;
    // this := other ∘ this (first this, then other).
    void compose(const RigidTransform& other);
};
