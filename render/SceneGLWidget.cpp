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
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QSurfaceFormat>
#include <QVector3D>
#include <QWheelEvent>

#include <cmath>
#include <numbers>
#include <optional>

namespace {

constexpr double kZoomIn = 1.030928;
constexpr double kZoomOut = 0.97;
constexpr float kNothingDrawnDepth = 0.999f;

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
    }
    update();
}

void SceneGLWidget::zoom(double f)
{
    for (Matrix* m : controlledMatrices())
        *m = glmatrix::multiply(*m, glmatrix::scaling(f));
}

void SceneGLWidget::pan(float x, float y)
{
    const double dx = x - _last_mouse_position.x();
    const double dy = y - _last_mouse_position.y();
    const double halfHeight = std::tan(_field_of_view / 2.0 * std::numbers::pi / 180.0) * _near;
    const double halfWidth = halfHeight * _aspect;
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
    for (Matrix* m : controlledMatrices())
        rotateAboutCentre(*m, degrees, axis[0], axis[1], axis[2]);
}

void SceneGLWidget::animate(int frames, int thirdProjection)
{
    if (!currentMatrixPointer())
        return;
    // Start at the x view.
    showAnimationFrame(90.0, 90.0);
    const int n = frames;
    auto phase = [&](int count, auto anglesAt) {
        for (int i = 0; i < count; ++i) {
            const auto [ax, ay] = anglesAt(double(i) / count);
            showAnimationFrame(ax, ay);
            resetCamera();
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
}

void SceneGLWidget::paintGL()
{
    if (!_gl)
        return;
    _gl->glClearColor(_clear_color[0], _clear_color[1], _clear_color[2], _clear_color[3]);
    _gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    _gl->glMatrixMode(GL_PROJECTION);
    _gl->glLoadMatrixd(_projection.data());
    _gl->glMatrixMode(GL_MODELVIEW);
    _gl->glLoadIdentity();

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
    if (shaderMissing && !_shader_problem_reported)
        emit statusMessage(QStringLiteral("can't open shader!"));
    _shader_problem_reported = shaderMissing;

    if (_shift_held)
        drawToolCursor();
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
