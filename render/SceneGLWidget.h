#pragma once
// The 3-D view: a list of render objects (normally one, the volume's cube
// mesh), each with its own modelview matrix, one projection, and the mouse and
// key interaction that turns, pans and zooms them, shows them along a
// projection direction, stores and recalls views, shows the silhouette only
// and plays the turntable animation. Behind the volume it can draw walls with
// the volume's shadows on them, and it can draw the scene offscreen at any
// size.
//
// Camera matrices are composed on the CPU in double precision with the rules
// of the fixed-function matrix stack, so every camera operation works whether
// or not the GL context exists yet; painting loads them into GL.

#include "render/GLMatrix.h"
#include "surface/ShadowWall.h"

#include <QKeyEvent>  // complete type: Qt 6 connects need it for the key signals
#include <QOpenGLWidget>
#include <QVector2D>

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <vector>

class QOpenGLFramebufferObject;
class QOpenGLFunctions_2_1;
class TriMesh;
class VoxelRenderObject;

class SceneGLWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    using Matrix = std::array<double, 16>;  // column-major, as OpenGL reads it

    // Edit tools as the window numbers them.
    enum Tool { AddBrush = 0, SubtractBrush = 1, SubtractRay = 3, Erode = 4 };

    SceneGLWidget(QWidget* parent, int width, int height);
    ~SceneGLWidget() override;

    // The default surface format of the application (OpenGL 2.1 compatibility
    // profile, depth buffer, 4 samples). Call before constructing QApplication.
    static void setDefaultSurfaceFormat();

    // ---- what is drawn ------------------------------------------------------
    // Cells along x, y and z of the volume's box: the grid draws one plane per
    // cell boundary.
    void setVolumeDimensions(int x, int y, int z);
    const std::array<int, 3>& volumeDimensions() const { return _volume_dimensions; }
    void setRenderFlag(unsigned bit, bool on);
    unsigned renderFlags() const { return _render_flags; }
    void setSliceMin(int v) { _slice_min = v; }
    void setSliceMax(int v) { _slice_max = v; }
    void setSliceInvert(bool b) { _slice_invert = b; }
    void setRenderMode(int mode);
    void setWhiteBackground(bool white);
    bool whiteBackground() const { return _white_background; }
    void setOrthographic(bool ortho);  // then the caller runs projectionSetup() and redraws
    bool orthographic() const { return _orthographic; }
    void setCommonControl(bool on) { _common_control = on; }
    void setShowAxis(bool on) { _show_axis = on; }
    void setShowBoxAndGrid(bool on) { _show_box_and_grid = on; }

    // Takes ownership of `mesh`. With `centre`, the mesh is moved to the origin
    // and scaled into the unit sphere; its old centre and the scale go to
    // centreOut / scaleOut. With `replace`, the last object is replaced and its
    // matrix kept; otherwise the camera looks along `cameraMode`.
    void setMesh(TriMesh* mesh, bool centre, float centreOut[3], float* scaleOut, int cameraMode, bool replace);
    // The same with a copy of `mesh`; a replacement reuses the last object's
    // storage and GL buffers, so a volume shown again after every edit costs
    // no fresh memory.
    void setMeshCopy(const TriMesh& mesh, bool centre, float centreOut[3], float* scaleOut, int cameraMode,
                     bool replace);
    // Appends an object read from a mesh file, resets its matrix and the camera.
    // False (and nothing appended) when the file cannot be read.
    bool loadMeshFile(const QString& path);
    // Replaces the per-vertex cell data of the current object's mesh and uploads it.
    void updateCellData(const TriMesh& mesh);
    void clearObjects();
    int objectCount() const { return static_cast<int>(_objects.size()); }
    const VoxelRenderObject* renderObject(int i) const { return _objects.at(static_cast<std::size_t>(i)).get(); }

    // Walls drawn behind the objects, with the current object's matrix; an
    // empty list removes them. They are drawn first and never hide an
    // object, and picking sees only the objects.
    void setShadowWalls(std::vector<ShadowWall> walls);
    const std::vector<ShadowWall>& shadowWalls() const { return _walls; }

    // ---- camera ---------------------------------------------------------------
    // The camera looks along a projection direction (X_PROJECTION ...), fitted.
    void setCameraView(int mode);
    void resetCamera();
    // Zoom and centre of the current object's matrix, its direction kept: the
    // object's box in the middle of the view, with a margin all round (the
    // walls may reach beyond). The view fits again on resizes until the
    // camera is moved by hand.
    void fitView();
    void projectionSetup();
    void animate(int frames, int thirdProjection);
    void reloadShaders();
    // Matrix of the current object (identity when there is none).
    Matrix currentMatrix() const;
    Matrix projectionMatrix() const { return _projection; }

    // ---- pictures -------------------------------------------------------------
    // The scene drawn offscreen at `size` device pixels with the current
    // camera; the picture shows at least what the view shows. Null when the
    // view has no GL context yet or no framebuffer of that size can be made.
    QImage renderPicture(const QSize& size);

    // ---- edit tool ------------------------------------------------------------
    // The window's active tool (Tool values); the editable-cell highlight shows
    // only while Shift is held with a removing tool (subtractive brush, erode).
    void setActiveTool(int tool) { _active_tool = tool; }
    int activeTool() const { return _active_tool; }
    void setToolCursorShown(bool shown) { _tool_cursor_shown = shown; }
    bool toolCursorShown() const { return _tool_cursor_shown; }
    // The ray under the last mouse position, in the current object's
    // coordinates: origin at window depth 0.5, direction towards depth 1.
    // Both zero when nothing is drawn under the pointer.
    void pickRay(float origin[3], float direction[3]);

    // ---- keys forwarded by the main window ---------------------------------------
    void viewKeyPressEvent(QKeyEvent* event);
    void viewKeyReleaseEvent(QKeyEvent* event);
    bool shiftHeld() const { return _shift_held; }
    bool silhouetteOnly() const { return _silhouette_only; }

signals:
    // An object was set, replaced or added, or the objects were cleared.
    void objectsChanged();
    // One-line messages for the window's status label ("Projection 2 saved.").
    void statusMessage(const QString& text);
    // Key events arrive here first; the window decides which come back.
    void keyPressed(QKeyEvent* event);
    void keyReleased(QKeyEvent* event);
    // Shift+Up / Shift+Down: change the edit radius by +1 / -1.
    void editRadiusStep(int delta);
    // Shift-click or Shift-drag: apply the edit tool along the ray through the
    // last mouse position (x, y), which pickRay() then casts.
    void editToolRequested(int x, int y);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    using Vec3f = std::array<float, 3>;

    // Frees the GL resources while the context still exists.
    void cleanupGL();
    void makeViewContextCurrent();
    Matrix* currentMatrixPointer();
    // The matrices camera operations act on: every object's with common
    // control, else the current object's.
    std::vector<Matrix*> controlledMatrices();
    void rotateAboutCentre(Matrix& m, double degrees, double x, double y, double z) const;
    bool trackballMap(float x, float y, Vec3f& v) const;
    void zoom(double f);
    void pan(float x, float y);
    void rotateByTrackball(float x, float y);
    void setMouseButton(Qt::MouseButton button, unsigned char down);
    bool mouseButtonDown(Qt::MouseButton button) const;
    void storeView(int slot);
    void recallView(int slot);
    void endRecall();
    // Current matrix := identity, then the two rotations of an animation frame.
    void showAnimationFrame(double degreesAroundX, double degreesAroundY);
    // Everything paintGL draws, with `projection`; the tool cursor only on screen.
    void drawScene(const Matrix& projection, bool onScreen);
    void drawAxis();
    void drawToolCursor();
    void drawWalls();
    void uploadWallTextures();
    void deleteWallTextures();
    // Calls `visit` with the corners of the current object's box, then (with
    // `withWalls`) with those of the walls. False without an object's box.
    bool visitScenePoints(bool withWalls, const std::function<void(const glmatrix::Vec3&)>& visit) const;
    // The projection of a picture with width / height `aspect`.
    Matrix pictureProjection(double aspect) const;
    // Window depth at device pixel (wx, wy) of the last frame; 1 outside.
    float depthAt(int wx, int wy);
    // Device-pixel window coordinates of the last mouse position.
    QPointF lastMouseWindowPosition() const;

    std::vector<std::unique_ptr<VoxelRenderObject>> _objects;
    int _current_object = -1;
    bool _common_control = true;
    bool _show_axis = false;
    bool _show_box_and_grid = false;
    bool _orthographic = true;
    int _render_mode = 1;
    int _slice_min = 0, _slice_max = 0;
    bool _slice_invert = false;
    bool _shift_held = false;
    QVector2D _last_mouse_position;
    Vec3f _trackball_vector{};
    bool _trackball_valid = false;
    std::array<unsigned char, 5> _mouse_buttons{};  // indexed by Qt button value: left 1, right 2, middle 4
    std::array<float, 4> _clear_color{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 4> _material_ambient{0.7f, 0.7f, 0.7f, 1.0f};
    std::array<float, 4> _material_diffuse{0.7f, 0.7f, 0.7f, 1.0f};
    std::array<float, 4> _material_specular{1.0f, 1.0f, 1.0f, 1.0f};
    float _shininess = 10.0f;
    double _field_of_view = 45.0;
    double _aspect = 1.0;
    double _near = 0.1, _far = 100.0;
    int _width = 0, _height = 0;
    Matrix _projection{};
    Vec3f _scene_centre{};
    float _zoom_scale = 1.0f;
    std::array<Matrix, 6> _stored_object_matrices{};
    std::array<Matrix, 6> _stored_projection_matrices{};
    std::bitset<6> _stored_slot_valid;
    bool _recall_active = false;
    bool _tool_cursor_shown = false;
    bool _silhouette_only = false;
    bool _white_background = true;
    unsigned _render_flags = 0;
    std::array<int, 3> _volume_dimensions{};
    int _active_tool = SubtractBrush;
    bool _fitted = false;  // the camera is as fitView left it
    std::vector<ShadowWall> _walls;
    std::vector<unsigned> _wall_textures;  // GL names, one per wall (0: plain wall)
    bool _wall_textures_stale = false;
    bool _shader_problem_reported = false;  // "can't open shader!" is shown once per occurrence

    QOpenGLFunctions_2_1* _gl = nullptr;                   // owned by the context
    std::unique_ptr<QOpenGLFramebufferObject> _depth_fbo;  // single-sample copy of the depth for picking
};
