#include "render/GLMatrix.h"

#include <cmath>
#include <numbers>

namespace glmatrix {

namespace {
double& at(Matrix& m, int row, int col) { return m[4 * col + row]; }
double at(const Matrix& m, int row, int col) { return m[4 * col + row]; }
}  // namespace

Matrix identity()
{
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k)
                s += at(a, row, k) * at(b, k, col);
            at(r, row, col) = s;
        }
    return r;
}

Matrix translation(double x, double y, double z)
{
    Matrix m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Matrix rotation(double degrees, double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length <= 1.0e-4)
        return identity();
    x /= length;
    y /= length;
    z /= length;
    const double radians = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
    Matrix m = identity();
    at(m, 0, 0) = x * x * t + c;
    at(m, 0, 1) = x * y * t - z * s;
    at(m, 0, 2) = x * z * t + y * s;
    at(m, 1, 0) = y * x * t + z * s;
    at(m, 1, 1) = y * y * t + c;
    at(m, 1, 2) = y * z * t - x * s;
    at(m, 2, 0) = x * z * t - y * s;
    at(m, 2, 1) = y * z * t + x * s;
    at(m, 2, 2) = z * z * t + c;
    return m;
}

Matrix scaling(double f)
{
    Matrix m = identity();
    m[0] = m[5] = m[10] = f;
    return m;
}

Matrix ortho(double left, double right, double bottom, double top, double nearPlane, double farPlane)
{
    Matrix m = identity();
    at(m, 0, 0) = 2.0 / (right - left);
    at(m, 1, 1) = 2.0 / (top - bottom);
    at(m, 2, 2) = -2.0 / (farPlane - nearPlane);
    at(m, 0, 3) = -(right + left) / (right - left);
    at(m, 1, 3) = -(top + bottom) / (top - bottom);
    at(m, 2, 3) = -(farPlane + nearPlane) / (farPlane - nearPlane);
    return m;
}

Matrix perspective(double fovyDegrees, double aspect, double nearPlane, double farPlane)
{
    const double f = 1.0 / std::tan(fovyDegrees * std::numbers::pi / 360.0);
    Matrix m{};
    at(m, 0, 0) = f / aspect;
    at(m, 1, 1) = f;
    at(m, 2, 2) = (farPlane + nearPlane) / (nearPlane - farPlane);
    at(m, 2, 3) = 2.0 * farPlane * nearPlane / (nearPlane - farPlane);
    at(m, 3, 2) = -1.0;
    return m;
}

Vec3 transformPoint(const Matrix& m, const Vec3& p)
{
    Vec3 r{};
    for (int row = 0; row < 3; ++row)
        r[row] = at(m, row, 0) * p[0] + at(m, row, 1) * p[1] + at(m, row, 2) * p[2] + at(m, row, 3);
    return r;
}

Matrix rotationOf(const Matrix& m)
{
    const double scale = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    Matrix r = identity();
    if (scale > 0.0)
        for (int col = 0; col < 3; ++col)
            for (int row = 0; row < 3; ++row)
                r[4 * col + row] = m[4 * col + row] / scale;
    return r;
}

}  // namespace glmatrix
