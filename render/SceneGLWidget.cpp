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
    const Matrix r = glmatrix::rotationOf(m);
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
