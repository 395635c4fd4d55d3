#include "render/SceneGLWidget.h"

#include "render/GLMatrix.h"
#include "render/VoxelRenderObject.h"
#include "surface/TriMesh.h"

#include <QKeyEvent>
#include <QMatrix4x4>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QSurfaceFormat>
#include <QVector3D>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

namespace {

constexpr double kZoomIn = 1.030928;
constexpr double kZoomOut = 0.97;
constexpr float kNothingDrawnDepth = 0.999f;
// A fitted scene fills this much of the view's half width or half height.
constexpr double kFitFill = 0.86;
// Offscreen pictures up to this many pixels are drawn with multisampling.
constexpr qint64 kMaxMultisampledPixels = 4096LL * 4096LL;

QMatrix4x4 toQMatrix(const SceneGLWidget::Matrix& m)
{
    QMatrix4x4 q;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            q(row, col) = static_cast<float>(m[4 * col + row]);
    return q;
}

bool isViewDigit(int key)
{
    return key >= Qt::Key_1 && key <= Qt::Key_5;
}

double smoothstep(double t)
{
    return 3.0 * t * t - 2.0 * t * t * t;
}

glmatrix::Vec3 toVec3(const QVector3D& v)
{
    return {v.x(), v.y(), v.z()};
}

// The rotation of a camera matrix: its upper 3 x 3 without the uniform zoom,
// no translation.
SceneGLWidget::Matrix rotationOf(const SceneGLWidget::Matrix& m)
{
    const double scale = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    SceneGLWidget::Matrix r = glmatrix::identity();
    if (scale > 0.0)
        for (int col = 0; col < 3; ++col)
            for (int row = 0; row < 3; ++row)
                r[4 * col + row] = m[4 * col + row] / scale;
    return r;
}

// The side a wall is seen from: where its picture reads unmirrored.
QVector3D wallNormal(const ShadowWall& wall)
{
    return QVector3D::crossProduct(wall.down, wall.across).normalized();
}

// Eye-space z of a direction under rotation `r`: positive towards the viewer.
double eyeZ(const SceneGLWidget::Matrix& r, const QVector3D& direction)
{
    return r[2] * direction.x() + r[6] * direction.y() + r[10] * direction.z();
}

}  // namespace

SceneGLWidget::SceneGLWidget(QWidget* parent, int width, int height)
    : QOpenGLWidget(parent), _aspect(height > 0 ? double(width) / height : 1.0), _width(width), _height(height)
{
    setWindowTitle(tr("Sample Buffers"));
    resize(width, height);
    setMouseTracking(true);
    projectionSetup();
    _stored_object_matrices.fill(glmatrix::identity());
    _stored_projection_matrices.fill(_projection);
}

SceneGLWidget::~SceneGLWidget()
{
    // QOpenGLWidget's own destructor emits aboutToBeDestroyed after this
    // object is gone: release here instead.
    if (QOpenGLContext* c = context())
        disconnect(c, &QOpenGLContext::aboutToBeDestroyed, this, &SceneGLWidget::cleanupGL);
    cleanupGL();
    _objects.clear();
}

void SceneGLWidget::setDefaultSurfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    format.setSamples(4);
    QSurfaceFormat::setDefaultFormat(format);
}

// Render objects create and delete GL names in whatever context is current.
// Before the view has its own context, no other one may be current either:
// the objects then upload on their first draw.
void SceneGLWidget::makeViewContextCurrent()
{
    if (isValid())
        makeCurrent();
    else if (QOpenGLContext* other = QOpenGLContext::currentContext())
        other->doneCurrent();
}

void SceneGLWidget::cleanupGL()
{
    makeViewContextCurrent();
    for (auto& object : _objects)
        object->releaseGL();
    _depth_fbo.reset();
    deleteWallTextures();
    doneCurrent();
    _gl = nullptr;
}

// ---- state setters ---------------------------------------------------------

void SceneGLWidget::setVolumeDimensions(int x, int y, int z)
{
    _volume_dimensions = {x, y, z};
}

void SceneGLWidget::setRenderFlag(unsigned bit, bool on)
{
    if (on)
        _render_flags |= bit;
    else
        _render_flags &= ~bit;
}

void SceneGLWidget::setRenderMode(int mode)
{
    _render_mode = mode;
    if (!_objects.empty())
        update();
}

void SceneGLWidget::setWhiteBackground(bool white)
{
    _white_background = white;
    _clear_color = white ? std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f} : std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f};
}

void SceneGLWidget::setOrthographic(bool ortho)
{
    _orthographic = ortho;
}

// ---- objects ---------------------------------------------------------------

void SceneGLWidget::setMesh(TriMesh* mesh, bool centre, float centreOut[3], float* scaleOut, int cameraMode,
                            bool replace)
{
    makeViewContextCurrent();
    std::optional<Matrix> keptMatrix;
    if (replace && !_objects.empty()) {
        keptMatrix = _objects.back()->modelview();
        _objects.pop_back();
        --_current_object;
    }
    _objects.push_back(std::make_unique<VoxelRenderObject>());
    ++_current_object;
    _objects.back()->setData(mesh, centre, centreOut, scaleOut);
    doneCurrent();
    emit objectsChanged();  // before the camera fits, so that it sees the new walls

    if (keptMatrix) {
        _objects.back()->copyMatrix(keptMatrix->data());
        update();
    } else {
        setCameraView(cameraMode);
    }
}

void SceneGLWidget::setMeshCopy(const TriMesh& mesh, bool centre, float centreOut[3], float* scaleOut, int cameraMode,
                                bool replace)
{
    if (!replace || _objects.empty()) {
        setMesh(new TriMesh(mesh), centre, centreOut, scaleOut, cameraMode, replace);
        return;
    }
    makeViewContextCurrent();
    _objects.back()->replaceData(mesh, centre, centreOut, scaleOut);
    doneCurrent();
    emit objectsChanged();
    update();
}

bool SceneGLWidget::loadMeshFile(const QString& path)
{
    makeViewContextCurrent();
    auto object = std::make_unique<VoxelRenderObject>();
    const bool read = object->loadFile(path);
    if (read) {
        _objects.push_back(std::move(object));
        ++_current_object;
        resetCamera();
    }
    doneCurrent();
    if (read)
        emit objectsChanged();
    update();
    return read;
}

void SceneGLWidget::updateCellData(const TriMesh& mesh)
{
    if (_current_object < 0)
        return;
    makeViewContextCurrent();
    _objects[static_cast<std::size_t>(_current_object)]->replaceCellData(mesh);
    doneCurrent();
    update();
}

void SceneGLWidget::clearObjects()
{
    makeViewContextCurrent();
    _objects.clear();
    _current_object = -1;
    if (_gl) {
        _gl->glClearColor(_clear_color[0], _clear_color[1], _clear_color[2], _clear_color[3]);
        _gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    doneCurrent();
    emit objectsChanged();
    update();
}

void SceneGLWidget::setShadowWalls(std::vector<ShadowWall> walls)
{
    _walls = std::move(walls);
    _wall_textures_stale = true;  // uploaded at the next paint, with the context current
    update();
}

void SceneGLWidget::reloadShaders()
{
    makeViewContextCurrent();
    for (auto& object : _objects)
        object->reloadProgram();
    doneCurrent();
    update();
}

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
    const Matrix r = rotationOf(*m);
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

// ---- events ----------------------------------------------------------------

void SceneGLWidget::setMouseButton(Qt::MouseButton button, unsigned char down)
{
    const auto value = static_cast<std::size_t>(button);
    if (value < _mouse_buttons.size())
        _mouse_buttons[value] = down;
}

bool SceneGLWidget::mouseButtonDown(Qt::MouseButton button) const
{
    return _mouse_buttons[static_cast<std::size_t>(button)] != 0;
}

void SceneGLWidget::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    _last_mouse_position = QVector2D(p);
    _trackball_valid = trackballMap(_last_mouse_position.x(), _last_mouse_position.y(), _trackball_vector);
    setMouseButton(event->button(), 1);
    if (_shift_held)
        emit editToolRequested(qRound(_last_mouse_position.x()), qRound(_last_mouse_position.y()));
    setFocusPolicy(Qt::WheelFocus);
    update();
}

void SceneGLWidget::mouseReleaseEvent(QMouseEvent* event)
{
    _trackball_valid = false;
    setMouseButton(event->button(), 0);
    update();
}

void SceneGLWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (_objects.empty())
        return;
    const float x = static_cast<float>(event->position().x());
    const float y = static_cast<float>(event->position().y());
    const bool left = mouseButtonDown(Qt::LeftButton);
    const bool right = mouseButtonDown(Qt::RightButton);
    if (!left && right)
        pan(x, y);
    if (left && right)
        zoom(y >= _last_mouse_position.y() ? kZoomOut : kZoomIn);
    if (left && !right) {
        if (!_shift_held)
            rotateByTrackball(x, y);
        else
            emit editToolRequested(qRound(_last_mouse_position.x()), qRound(_last_mouse_position.y()));
    }
    _last_mouse_position = QVector2D(x, y);
    _trackball_valid = trackballMap(x, y, _trackball_vector);
    _shift_held = event->modifiers().testFlag(Qt::ShiftModifier);
    update();
}

void SceneGLWidget::wheelEvent(QWheelEvent* event)
{
    if (_objects.empty())
        return;
    zoom(event->angleDelta().y() < 1 ? kZoomOut : kZoomIn);
    update();
}

void SceneGLWidget::keyPressEvent(QKeyEvent* event)
{
    emit keyPressed(event);
}

void SceneGLWidget::keyReleaseEvent(QKeyEvent* event)
{
    emit keyReleased(event);
}

void SceneGLWidget::viewKeyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (isViewDigit(key)) {
        if (event->isAutoRepeat())
            return;
        if (modifiers.testFlag(Qt::AltModifier))
            storeView(key - Qt::Key_0);
        else
            recallView(key - Qt::Key_0);
    } else if (key == Qt::Key_H) {
        _silhouette_only = true;
    } else if (key == Qt::Key_Shift) {
        _shift_held = true;
        _tool_cursor_shown = true;
    } else if ((key == Qt::Key_Up || key == Qt::Key_Down) && modifiers.testFlag(Qt::ShiftModifier)) {
        emit editRadiusStep(key == Qt::Key_Up ? 1 : -1);
    }
    update();
}

void SceneGLWidget::viewKeyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    const int key = event->key();
    if (isViewDigit(key)) {
        if (_recall_active && !event->modifiers().testFlag(Qt::AltModifier))
            endRecall();
    } else if (key == Qt::Key_H) {
        _silhouette_only = false;
    } else if (key == Qt::Key_Shift) {
        _shift_held = false;
        _tool_cursor_shown = false;
    }
    update();
}

// ---- GL --------------------------------------------------------------------

void SceneGLWidget::initializeGL()
{
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &SceneGLWidget::cleanupGL);
    _gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context());
    if (!_gl) {
        qWarning("OpenGL 2.1 with the compatibility profile is not available: the 3-D view stays empty");
        return;
    }
    _gl->glClearColor(_clear_color[0], _clear_color[1], _clear_color[2], _clear_color[3]);
    _gl->glEnable(GL_LIGHTING);
    _gl->glEnable(GL_CULL_FACE);
    _gl->glEnable(GL_DEPTH_TEST);
    _gl->glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, _material_ambient.data());
    _gl->glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, _material_diffuse.data());
    _gl->glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, _material_specular.data());
    _gl->glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, _shininess);
    _gl->glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    _gl->glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE);

    // Directional lights, given with the identity modelview: eye space.
    const GLfloat intensity[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat noAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat directions[3][4] = {{1.0f, 1.0f, 0.0f, 0.0f}, {-1.0f, 1.0f, -0.02f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}};
    _gl->glMatrixMode(GL_MODELVIEW);
    _gl->glLoadIdentity();
    for (int i = 0; i < 3; ++i) {
        const GLenum light = GL_LIGHT0 + static_cast<GLenum>(i);
        _gl->glLightfv(light, GL_DIFFUSE, intensity);
        _gl->glLightfv(light, GL_SPECULAR, intensity);
        _gl->glLightfv(light, GL_POSITION, directions[i]);
        _gl->glEnable(light);
    }
    _gl->glLightfv(GL_LIGHT0, GL_AMBIENT, noAmbient);
}

void SceneGLWidget::resizeGL(int w, int h)
{
    _width = w;
    _height = h;
    if (_gl) {
        const qreal ratio = devicePixelRatioF();
        _gl->glViewport(0, 0, qRound(w * ratio), qRound(h * ratio));
    }
    _aspect = h > 0 ? double(w) / h : 1.0;
    projectionSetup();
    if (_fitted)
        fitView();
}

void SceneGLWidget::paintGL()
{
    if (_gl)
        drawScene(_projection, true);
}

void SceneGLWidget::drawScene(const Matrix& projection, bool onScreen)
{
    _gl->glClearColor(_clear_color[0], _clear_color[1], _clear_color[2], _clear_color[3]);
    _gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    _gl->glMatrixMode(GL_PROJECTION);
    _gl->glLoadMatrixd(projection.data());
    _gl->glMatrixMode(GL_MODELVIEW);
    _gl->glLoadIdentity();

    // The walls lie behind the objects; with their depth cleared, the
    // objects always come out in front and picking reads only them.
    if (!_walls.empty() && !_objects.empty()) {
        drawWalls();
        _gl->glClear(GL_DEPTH_BUFFER_BIT);
    }
    if (_show_axis)
        drawAxis();

    // Editable cells are highlighted only while Shift is held with a removing
    // tool; the silhouette only while H is held.
    if (_active_tool != SubtractBrush && _active_tool != Erode)
        _tool_cursor_shown = false;
    unsigned flags = _render_flags;
    if (!_tool_cursor_shown)
        flags &= ~1u;
    if (_silhouette_only)
        flags |= 4u;
    else
        flags &= ~4u;
    bool shaderMissing = false;
    for (auto& object : _objects) {
        object->draw(_render_mode, _show_box_and_grid, _slice_min, _slice_max, _slice_invert, flags, _white_background,
                     _volume_dimensions);
        shaderMissing = shaderMissing || object->shaderMissing();
    }
    if (!onScreen)
        return;
    if (shaderMissing && !_shader_problem_reported)
        emit statusMessage(QStringLiteral("can't open shader!"));
    _shader_problem_reported = shaderMissing;

    if (_shift_held)
        drawToolCursor();
}

// ---- walls -----------------------------------------------------------------

void SceneGLWidget::deleteWallTextures()
{
    if (_gl) {
        for (unsigned name : _wall_textures)
            if (name != 0)
                _gl->glDeleteTextures(1, &name);
    }
    _wall_textures.clear();
    _wall_textures_stale = true;
}

// Mipmapped, so that walls seen at a slant stay smooth (anisotropic
// filtering would be smoother still, but costs software renderers dearly).
void SceneGLWidget::uploadWallTextures()
{
    deleteWallTextures();
    for (const ShadowWall& wall : _walls) {
        GLuint name = 0;
        if (!wall.picture.isNull()) {
            const QImage rgba = wall.picture.convertToFormat(QImage::Format_RGBA8888);
            _gl->glGenTextures(1, &name);
            _gl->glBindTexture(GL_TEXTURE_2D, name);
            _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            _gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            _gl->glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
            _gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            // Row 0 of the picture is its top: texture coordinate t = 0.
            _gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.width(), rgba.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                              rgba.constBits());
        }
        _wall_textures.push_back(name);
    }
    _gl->glBindTexture(GL_TEXTURE_2D, 0);
    _wall_textures_stale = false;
}

// Unlit, each wall in a tone of its own (by how it faces a light from the
// upper right front), with a darker edge so that walls meeting at a corner
// stay apart. Walls seen from behind are left out.
void SceneGLWidget::drawWalls()
{
    if (_wall_textures_stale)
        uploadWallTextures();
    const Matrix m = currentMatrix();
    const Matrix r = rotationOf(m);
    const QVector3D light = QVector3D(0.35f, 0.55f, 0.75f).normalized();
    _gl->glPushMatrix();
    _gl->glLoadMatrixd(m.data());
    _gl->glDisable(GL_LIGHTING);
    _gl->glEnable(GL_POLYGON_OFFSET_FILL);
    _gl->glPolygonOffset(1.0f, 1.0f);
    _gl->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (std::size_t i = 0; i < _walls.size(); ++i) {
        const ShadowWall& wall = _walls[i];
        const QVector3D normal = wallNormal(wall);
        if (wall.outline.size() < 3 || !(eyeZ(r, normal) > 0.0))
            continue;
        const QVector3D eyeNormal(float(r[0] * normal.x() + r[4] * normal.y() + r[8] * normal.z()),
                                  float(r[1] * normal.x() + r[5] * normal.y() + r[9] * normal.z()),
                                  float(eyeZ(r, normal)));
        const float tone = 0.84f + 0.16f * std::max(0.0f, QVector3D::dotProduct(eyeNormal, light));
        std::vector<QVector3D> outline = wall.outline;
        const QVector3D turn =
            QVector3D::crossProduct(outline[1] - outline[0], outline[2] - outline[0]);
        if (QVector3D::dotProduct(turn, normal) < 0.0f)
            std::reverse(outline.begin(), outline.end());  // counter-clockwise from the seen side

        const GLuint texture = i < _wall_textures.size() ? _wall_textures[i] : 0;
        if (texture != 0) {
            _gl->glEnable(GL_TEXTURE_2D);
            _gl->glBindTexture(GL_TEXTURE_2D, texture);
        }
        const float across2 = wall.across.lengthSquared(), down2 = wall.down.lengthSquared();
        _gl->glColor3f(tone, tone, tone);
        _gl->glBegin(GL_POLYGON);
        for (const QVector3D& p : outline) {
            const QVector3D d = p - wall.origin;
            _gl->glTexCoord2f(across2 > 0.0f ? QVector3D::dotProduct(d, wall.across) / across2 : 0.0f,
                              down2 > 0.0f ? QVector3D::dotProduct(d, wall.down) / down2 : 0.0f);
            _gl->glVertex3f(p.x(), p.y(), p.z());
        }
        _gl->glEnd();
        if (texture != 0) {
            _gl->glBindTexture(GL_TEXTURE_2D, 0);
            _gl->glDisable(GL_TEXTURE_2D);
        }
        const float edge = 0.62f * tone;
        _gl->glColor3f(edge, edge, edge);
        _gl->glBegin(GL_LINE_LOOP);
        for (const QVector3D& p : outline)
            _gl->glVertex3f(p.x(), p.y(), p.z());
        _gl->glEnd();
    }
    _gl->glDisable(GL_POLYGON_OFFSET_FILL);
    _gl->glEnable(GL_LIGHTING);
    _gl->glPopMatrix();
}

// ---- pictures --------------------------------------------------------------

SceneGLWidget::Matrix SceneGLWidget::pictureProjection(double aspect) const
{
    // A wider picture shows more at the sides, a narrower one more above and
    // below: never less than the view.
    const double widen = aspect >= _aspect ? 1.0 : _aspect / aspect;
    if (_orthographic)
        return glmatrix::ortho(-aspect * widen, aspect * widen, -widen, widen, _near, _far);
    const double halfAngle = std::atan(std::tan(_field_of_view * std::numbers::pi / 360.0) * widen);
    return glmatrix::perspective(2.0 * halfAngle * 180.0 / std::numbers::pi, aspect, _near, _far);
}

QImage SceneGLWidget::renderPicture(const QSize& size)
{
    if (!isValid() || size.isEmpty())
        return {};
    makeCurrent();
    QImage picture;
    if (_gl) {
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
        format.setSamples(qint64(size.width()) * size.height() <= kMaxMultisampledPixels ? 4 : 0);
        QOpenGLFramebufferObject target(size, format);
        if (target.isValid() && target.bind()) {
            _gl->glViewport(0, 0, size.width(), size.height());
            drawScene(pictureProjection(double(size.width()) / size.height()), false);
            picture = target.toImage().convertToFormat(QImage::Format_RGB32);
        }
        context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        const qreal ratio = devicePixelRatioF();
        _gl->glViewport(0, 0, qRound(width() * ratio), qRound(height() * ratio));
    }
    doneCurrent();
    return picture;
}

void SceneGLWidget::drawAxis()
{
    const Matrix m = currentMatrix();
    _gl->glPushMatrix();
    _gl->glLoadMatrixd(m.data());
    _gl->glDisable(GL_LIGHTING);
    _gl->glBegin(GL_LINES);
    _gl->glColor3f(0.7f, 0.1f, 0.1f);
    _gl->glVertex3f(0.0f, 0.0f, 0.0f);
    _gl->glVertex3f(0.75f, 0.0f, 0.0f);
    _gl->glColor3f(0.1f, 0.7f, 0.1f);
    _gl->glVertex3f(0.0f, 0.0f, 0.0f);
    _gl->glVertex3f(0.0f, 0.75f, 0.0f);
    _gl->glColor3f(0.1f, 0.1f, 0.7f);
    _gl->glVertex3f(0.0f, 0.0f, 0.0f);
    _gl->glVertex3f(0.0f, 0.0f, 0.75f);
    _gl->glEnd();
    _gl->glEnable(GL_LIGHTING);
    _gl->glPopMatrix();
}

QPointF SceneGLWidget::lastMouseWindowPosition() const
{
    const qreal ratio = devicePixelRatioF();
    return {_last_mouse_position.x() * ratio, (height() - _last_mouse_position.y()) * ratio};
}

float SceneGLWidget::depthAt(int wx, int wy)
{
    const qreal ratio = devicePixelRatioF();
    const QSize size(qRound(width() * ratio), qRound(height() * ratio));
    if (!_gl || wx < 0 || wy < 0 || wx >= size.width() || wy >= size.height())
        return 1.0f;
    // The widget's buffer is multisampled and its depth cannot be read
    // directly: copy the one pixel into a single-sample buffer first.
    if (!_depth_fbo || _depth_fbo->size() != size)
        _depth_fbo = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLExtraFunctions* extra = context()->extraFunctions();
    extra->glBindFramebuffer(GL_READ_FRAMEBUFFER, defaultFramebufferObject());
    extra->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, _depth_fbo->handle());
    extra->glBlitFramebuffer(wx, wy, wx + 1, wy + 1, wx, wy, wx + 1, wy + 1, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    extra->glBindFramebuffer(GL_FRAMEBUFFER, _depth_fbo->handle());
    GLfloat depth = 1.0f;
    _gl->glReadPixels(wx, wy, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    extra->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    return depth;
}

void SceneGLWidget::drawToolCursor()
{
    if (_current_object < 0)
        return;
    const QPointF w = lastMouseWindowPosition();
    if (!(depthAt(static_cast<int>(w.x()), static_cast<int>(w.y())) < kNothingDrawnDepth))
        return;
    const Matrix m = currentMatrix();
    GLint viewport[4] = {0, 0, 0, 0};
    _gl->glGetIntegerv(GL_VIEWPORT, viewport);
    const QVector3D p = QVector3D(float(w.x()), float(w.y()), 1.0f)
                            .unproject(toQMatrix(m), toQMatrix(_projection),
                                       QRect(viewport[0], viewport[1], viewport[2], viewport[3]));
    _gl->glPushMatrix();
    _gl->glLoadMatrixd(m.data());
    _gl->glDisable(GL_DEPTH_TEST);
    _gl->glDisable(GL_LIGHTING);
    _gl->glPointSize(7.0f);
    _gl->glColor4f(1.0f, 0.0f, 0.3f, 1.0f);
    _gl->glBegin(GL_POINTS);
    _gl->glVertex3f(p.x(), p.y(), p.z());
    _gl->glEnd();
    _gl->glPointSize(1.0f);
    _gl->glEnable(GL_LIGHTING);
    _gl->glEnable(GL_DEPTH_TEST);
    _gl->glPopMatrix();
}

void SceneGLWidget::pickRay(float origin[3], float direction[3])
{
    for (int k = 0; k < 3; ++k)
        origin[k] = direction[k] = 0.0f;
    if (_current_object < 0)
        return;
    makeViewContextCurrent();
    if (_gl) {
        projectionSetup();
        GLint viewport[4] = {0, 0, 0, 0};
        _gl->glGetIntegerv(GL_VIEWPORT, viewport);
        const QPointF w = lastMouseWindowPosition();
        if (depthAt(static_cast<int>(w.x()), static_cast<int>(w.y())) < kNothingDrawnDepth) {
            const QMatrix4x4 modelview = toQMatrix(currentMatrix());
            const QMatrix4x4 projection = toQMatrix(_projection);
            const QRect rect(viewport[0], viewport[1], viewport[2], viewport[3]);
            const QVector3D p0 = QVector3D(float(w.x()), float(w.y()), 0.5f).unproject(modelview, projection, rect);
            const QVector3D p1 = QVector3D(float(w.x()), float(w.y()), 1.0f).unproject(modelview, projection, rect);
            for (int k = 0; k < 3; ++k) {
                origin[k] = p0[k];
                direction[k] = p1[k] - p0[k];
            }
        }
    }
    doneCurrent();
}
