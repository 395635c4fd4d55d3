#pragma once
// Double-precision 4x4 matrices laid out the way OpenGL reads them (column
// major: element (row r, column c) at index 4 c + r). The view composes its
// camera matrices here with the same rules as the fixed-function matrix stack
// (translate, rotate and scale multiply on the right), so they can be changed
// without a current GL context and loaded with glLoadMatrixd when drawing.

#include <array>

namespace glmatrix {

using Matrix = std::array<double, 16>;
using Vec3 = std::array<double, 3>;

Matrix identity();
// a * b
Matrix multiply(const Matrix& a, const Matrix& b);
Matrix translation(double x, double y, double z);
// Rotation by `degrees` around the axis (x, y, z), as glRotated builds it;
// the identity when the axis is (nearly) zero.
Matrix rotation(double degrees, double x, double y, double z);
Matrix scaling(double f);
Matrix ortho(double left, double right, double bottom, double top, double nearPlane, double farPlane);
// Symmetric perspective frustum with vertical field of view in degrees.
Matrix perspective(double fovyDegrees, double aspect, double nearPlane, double farPlane);
// M (p, 1), without the division by w (the camera matrices are affine).
Vec3 transformPoint(const Matrix& m, const Vec3& p);

// The rotation of a camera matrix: its upper 3 x 3 without the uniform zoom,
// no translation.
Matrix rotationOf(const Matrix& m);

}  // namespace glmatrix
