// The 3-D view's camera: the matrices the mouse and keys move, fitting the
// scene into the view, the turn-table animation and the stored views.

#include "render/SceneGLWidget.h"

#include "render/GLMatrix.h"
#include "render/VoxelRenderObject.h"
#include "surface/TriMesh.h"

#include <QVector3D>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

// A fitted scene fills this much of the view's half width or half height.
constexpr double kFitFill = 0.86;

double smoothstep(double t)
{
    return 3.0 * t * t - 2.0 * t * t * t;
}

glmatrix::Vec3 toVec3(const QVector3D& v)
{
    return {v.x(), v.y(), v.z()};
}

}  // namespace

// ---- camera ----------------------------------------------------------------

SceneGLWidget::Matrix* SceneGLWidget::currentMatrixPointer()
{
    if (_current_object < 0 || _current_object >= objectCount())
        return nullptr;
    return &_objects[static_cast<std::size_t>(_current_object)]->modelview();
}

SceneGLWidget::Matrix SceneGLWidget::currentMatrix() const
{
    if (_current_object < 0 || _current_object >= objectCount())
        return glmatrix::identity();
    return _objects[static_cast<std::size_t>(_current_object)]->modelview();
}

std::vector<SceneGLWidget::Matrix*> SceneGLWidget::controlledMatrices()
{
    std::vector<Matrix*> matrices;
    if (_common_control) {
        for (auto& object : _objects)
            matrices.push_back(&object->modelview());
    } else if (Matrix* m = currentMatrixPointer()) {
        matrices.push_back(m);
    }
    return matrices;
}

void SceneGLWidget::projectionSetup()
{
    _projection = _orthographic ? glmatrix::ortho(-_aspect, _aspect, -1.0, 1.0, _near, _far)
                                : glmatrix::perspective(_field_of_view, _aspect, _near, _far);
}

void SceneGLWidget::resetCamera()
{
    _fitted = false;
    _scene_centre = {0.0f, 0.0f, 0.0f};
    _zoom_scale = 1.0f;
    _near = 0.1;
    _far = 100.0;
    _field_of_view = 45.0;
    projectionSetup();
    if (Matrix* m = currentMatrixPointer()) {
        // Move the transformed scene centre to (0, 0, -3 zoom).
        const glmatrix::Vec3 c = glmatrix::transformPoint(*m, {_scene_centre[0], _scene_centre[1], _scene_centre[2]});
        const Matrix t = glmatrix::translation(-c[0], -c[1], -3.0 * _zoom_scale - c[2]);
        *m = glmatrix::multiply(t, *m);
    }
}

// The pivot is the scene centre where `m` puts it (eye coordinates), so the
// scene turns in place; for the camera views and the animation, which rotate
// from the identity, this is the scene centre itself.
void SceneGLWidget::rotateAboutCentre(Matrix& m, double degrees, double x, double y, double z) const
{
    const glmatrix::Vec3 c = glmatrix::transformPoint(m, {_scene_centre[0], _scene_centre[1], _scene_centre[2]});
    Matrix r = glmatrix::translation(c[0], c[1], c[2]);
    r = glmatrix::multiply(r, glmatrix::rotation(degrees, x, y, z));
    r = glmatrix::multiply(r, glmatrix::translation(-c[0], -c[1], -c[2]));
    m = glmatrix::multiply(r, m);
}

void SceneGLWidget::setCameraView(int mode)
{
    if (mode != -1) {
        if (Matrix* m = currentMatrixPointer()) {
            *m = glmatrix::identity();
            switch (mode) {
            case 0:  // X_PROJECTION
                rotateAboutCentre(*m, 90.0, 1.0, 0.0, 0.0);
                rotateAboutCentre(*m, 90.0, 0.0, 1.0, 0.0);
                break;
            case 1:  // Y_PROJECTION
                rotateAboutCentre(*m, 90.0, 1.0, 0.0, 0.0);
                break;
            case 3:  // FortyFive_PROJECTION
                rotateAboutCentre(*m, 90.0, 1.0, 0.0, 0.0);
                rotateAboutCentre(*m, 45.0, 0.0, 1.0, 0.0);
                break;
            case 4:  // Sixty_PROJECTION
                rotateAboutCentre(*m, 90.0, 1.0, 0.0, 0.0);
                rotateAboutCentre(*m, 30.0, 0.0, 1.0, 0.0);
                break;
            case 5:  // OneTwenty_PROJECTION
                rotateAboutCentre(*m, 90.0, 1.0, 0.0, 0.0);
                rotateAboutCentre(*m, -30.0, 0.0, 1.0, 0.0);
                break;
            default:  // Z_PROJECTION and every mode without a view of its own
                rotateAboutCentre(*m, 180.0, 1.0, 0.0, 0.0);
                break;
            }
        }
        resetCamera();
        fitView();
    }
    update();
}

bool SceneGLWidget::visitScenePoints(bool withWalls, const std::function<void(const glmatrix::Vec3&)>& visit) const
{
    if (_current_object < 0)
        return false;
    const TriMesh* mesh = _objects[static_cast<std::size_t>(_current_object)]->mesh();
    if (!mesh || !mesh->bbox.valid)
        return false;
    const point& low = mesh->bbox.min;
    const point& high = mesh->bbox.max;
    for (int corner = 0; corner < 8; ++corner)
        visit({corner & 1 ? high[0] : low[0], corner & 2 ? high[1] : low[1], corner & 4 ? high[2] : low[2]});
    if (withWalls)
        for (const ShadowWall& wall : _walls)
            for (const QVector3D& p : wall.outline)
                visit(toVec3(p));
    return true;
}

void SceneGLWidget::fitView()
{
    Matrix* m = currentMatrixPointer();
    if (!m)
        return;
    const Matrix r = glmatrix::rotationOf(*m);
    glmatrix::Vec3 low{}, high{};
    bool first = true;
    const auto include = [&](const glmatrix::Vec3& p) {
        const glmatrix::Vec3 e = glmatrix::transformPoint(r, p);
        for (int k = 0; k < 3; ++k) {
            low[k] = first ? e[k] : std::min(low[k], e[k]);
            high[k] = first ? e[k] : std::max(high[k], e[k]);
        }
        first = false;
    };
    if (!visitScenePoints(false, include))
        return;
    const glmatrix::Vec3 centre = {0.5 * (low[0] + high[0]), 0.5 * (low[1] + high[1]), 0.5 * (low[2] + high[2])};
    constexpr double tiny = 1.0e-9;
    const double hx = std::max(0.5 * (high[0] - low[0]), tiny), hy = std::max(0.5 * (high[1] - low[1]), tiny);
    const double hz = 0.5 * (high[2] - low[2]);
    double scale = 1.0, distance = 3.0;
    if (_orthographic) {
        scale = kFitFill * std::min(_aspect / hx, 1.0 / hy);
        distance = std::max(3.0, scale * hz + 1.0);
    } else {
        // Unit size, then far enough that the nearest parts fit as well.
        const double t = std::tan(_field_of_view * std::numbers::pi / 360.0) * kFitFill;
        scale = 1.0 / std::max({hx, hy, hz});
        distance = std::max({_near + scale * hz + 1.0e-3, scale * (hx / (_aspect * t) + hz), scale * (hy / t + hz)});
    }
    *m = glmatrix::multiply(
        glmatrix::translation(-scale * centre[0], -scale * centre[1], -distance - scale * centre[2]),
        glmatrix::multiply(r, glmatrix::scaling(scale)));
    _fitted = true;
    update();
}

void SceneGLWidget::zoom(double f)
{
    _fitted = false;
    for (Matrix* m : controlledMatrices())
        *m = glmatrix::multiply(*m, glmatrix::scaling(f));
}

void SceneGLWidget::pan(float x, float y)
{
    const double dx = x - _last_mouse_position.x();
    const double dy = y - _last_mouse_position.y();
    const double halfHeight = std::tan(_field_of_view / 2.0 * std::numbers::pi / 180.0) * _near;
    const double halfWidth = halfHeight * _aspect;
    _fitted = false;
    for (Matrix* m : controlledMatrices()) {
        const double z = -glmatrix::transformPoint(*m, {_scene_centre[0], _scene_centre[1], _scene_centre[2]})[2];
        const double tx = (2.0 * dx / _width) * halfWidth / _near * z;
        const double ty = (-2.0 * dy / _height) * halfHeight / _near * z;
        *m = glmatrix::multiply(glmatrix::translation(tx, ty, 0.0), *m);
    }
}

bool SceneGLWidget::trackballMap(float x, float y, Vec3f& v) const
{
    if (x < 0.0f || x > _width || y < 0.0f || y > _height)
        return false;
    const float half = 0.5f * std::numbers::pi_v<float>;
    const float a = std::sin(half * (x - _width / 2.0f) / _width);
    const float b = std::sin(half * (_height / 2.0f - y) / _height);
    const float ab = a * a + b * b;
    v = {a, b, ab < 1.0f ? std::sqrt(1.0f - ab) : 0.0f};
    return true;
}

void SceneGLWidget::rotateByTrackball(float x, float y)
{
    Vec3f w;
    if (!_trackball_valid || !trackballMap(x, y, w))
        return;
    const Vec3f& l = _trackball_vector;
    const Vec3f axis = {l[1] * w[2] - l[2] * w[1], l[2] * w[0] - l[0] * w[2], l[0] * w[1] - l[1] * w[0]};
    const float d = l[0] * w[0] + l[1] * w[1] + l[2] * w[2];
    if (!(std::fabs(d) < 1.0f))
        return;
    const double degrees = 2.0 * std::acos(d) * 180.0 / std::numbers::pi;
    _fitted = false;
    for (Matrix* m : controlledMatrices())
        rotateAboutCentre(*m, degrees, axis[0], axis[1], axis[2]);
}

void SceneGLWidget::animate(int frames, int thirdProjection)
{
    if (!currentMatrixPointer())
        return;
    // Start at the x view.
    showAnimationFrame(90.0, 90.0);
    // One zoom for every frame: the sphere around the scene (the object's
    // box, every wall) about the box centre fits the view.
    double zoomToFit = 1.0;
    std::vector<glmatrix::Vec3> points;
    if (visitScenePoints(true, [&](const glmatrix::Vec3& p) { points.push_back(p); })) {
        glmatrix::Vec3 centre{};
        for (int corner = 0; corner < 8; ++corner)  // the box comes first
            for (int k = 0; k < 3; ++k)
                centre[k] += points[std::size_t(corner)][k] / 8.0;
        double radius = 0.0;
        for (const glmatrix::Vec3& p : points)
            radius = std::max(radius, std::hypot(p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]));
        // Half the view's height at the centre's distance of 3.
        const double halfHeight = _orthographic ? 1.0 : 3.0 * std::tan(_field_of_view * std::numbers::pi / 360.0);
        if (radius > 0.0)
            zoomToFit = kFitFill * halfHeight * std::min(_aspect, 1.0) / radius;
    }
    const int n = frames;
    auto phase = [&](int count, auto anglesAt) {
        for (int i = 0; i < count; ++i) {
            const auto [ax, ay] = anglesAt(double(i) / count);
            showAnimationFrame(ax, ay);
            resetCamera();
            if (Matrix* m = currentMatrixPointer())
                *m = glmatrix::multiply(*m, glmatrix::scaling(zoomToFit));
            update();
            repaint();
        }
    };
    using Angles = std::pair<double, double>;
    switch (thirdProjection) {
    case 2:
        phase(n, [](double t) { return Angles{90.0, (1.0 - smoothstep(t)) * 90.0}; });
        phase(n, [](double t) { return Angles{90.0 + 90.0 * smoothstep(t), 0.0}; });
        phase(n, [](double t) { return Angles{180.0 - 90.0 * smoothstep(t), 90.0 * smoothstep(t)}; });
        break;
    case 3:
        phase(n, [](double t) { return Angles{90.0, 90.0 - 45.0 * smoothstep(t)}; });
        phase(n, [](double t) { return Angles{90.0, 45.0 - 45.0 * smoothstep(t)}; });
        phase(n, [](double t) { return Angles{90.0, 90.0 * smoothstep(t)}; });
        break;
    case 5:
        for (int k = 0; k < 6; ++k)
            phase(n / 2, [k](double t) { return Angles{90.0, 90.0 - (t * t * t + k) * 60.0}; });
        break;
    default:
        break;
    }
    setCameraView(0);
    repaint();
}

void SceneGLWidget::showAnimationFrame(double degreesAroundX, double degreesAroundY)
{
    Matrix* m = currentMatrixPointer();
    *m = glmatrix::identity();
    rotateAboutCentre(*m, degreesAroundX, 1.0, 0.0, 0.0);
    rotateAboutCentre(*m, degreesAroundY, 0.0, 1.0, 0.0);
}

// ---- stored views ----------------------------------------------------------

void SceneGLWidget::storeView(int slot)
{
    projectionSetup();
    _stored_object_matrices[static_cast<std::size_t>(slot)] = currentMatrix();
    _stored_projection_matrices[static_cast<std::size_t>(slot)] = _projection;
    _stored_slot_valid.set(static_cast<std::size_t>(slot));
    emit statusMessage(QStringLiteral("Projection %1 saved.").arg(slot));
}

void SceneGLWidget::recallView(int slot)
{
    if (!_stored_slot_valid.test(static_cast<std::size_t>(slot)) || _recall_active)
        return;
    _stored_object_matrices[0] = currentMatrix();
    _stored_projection_matrices[0] = _projection;
    if (Matrix* m = currentMatrixPointer())
        *m = _stored_object_matrices[static_cast<std::size_t>(slot)];
    _projection = _stored_projection_matrices[static_cast<std::size_t>(slot)];
    projectionSetup();
    _recall_active = true;
    _fitted = false;
}

void SceneGLWidget::endRecall()
{
    if (Matrix* m = currentMatrixPointer())
        *m = _stored_object_matrices[0];
    _projection = _stored_projection_matrices[0];
    projectionSetup();
    _recall_active = false;
}
