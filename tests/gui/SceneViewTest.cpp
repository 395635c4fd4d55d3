// The 3-D view with a real OpenGL context: camera views and their matrices,
// zoom, silhouette, cell highlights, box and grid, and picking. Stored views
// are tested through the main window (WorkflowTest).

#include "GuiTestSupport.h"

#include "render/SceneGLWidget.h"
#include "render/VoxelRenderObject.h"
#include "surface/TriMesh.h"

#include <QMatrix4x4>
#include <QColor>
#include <QSignalSpy>
#include <QWheelEvent>

#include <algorithm>
#include <functional>

using namespace gui_test;

namespace {

struct TestCell {
    int x, y, z, state = 0, greedy = 0;
};

// Unit cubes laid out like the volume's cube mesh: 8 corners and 12
// counter-clockwise triangles per cell, cell data (state, corner, greedy, z).
TriMesh* cubeMesh(const std::vector<TestCell>& cells, bool withCellData = true)
{
    static constexpr int kFaces[12][3] = {{0, 3, 2}, {2, 1, 0}, {1, 2, 6}, {6, 5, 1}, {0, 1, 5}, {5, 4, 0},
                                          {0, 4, 7}, {7, 3, 0}, {2, 3, 7}, {7, 6, 2}, {4, 5, 6}, {6, 7, 4}};
    auto* mesh = new TriMesh;
    for (const TestCell& c : cells) {
        const int b = static_cast<int>(mesh->vertices.size());
        for (int corner = 0; corner < 8; ++corner) {  // 0-3 round the face at z, 4-7 above them
            mesh->vertices.push_back({float(c.x + (corner + 1) / 2 % 2), float(c.y + corner / 2 % 2),
                                      float(c.z + corner / 4)});
            if (withCellData)
                mesh->cell_data.push_back({c.state, corner, c.greedy, c.z});
        }
        for (const auto& f : kFaces)
            mesh->faces.emplace_back(b + f[0], b + f[1], b + f[2]);
    }
    mesh->has_cell_data = withCellData;
    return mesh;
}

void sendKey(SceneGLWidget& view, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false)
{
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    type == QEvent::KeyPress ? view.viewKeyPressEvent(&event) : view.viewKeyReleaseEvent(&event);
}

void sendWheel(SceneGLWidget& view, int delta)
{
    QWheelEvent event(QPointF(200, 150), view.mapToGlobal(QPointF(200, 150)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &event);
}

void sendMove(SceneGLWidget& view, QPointF pos)
{
    QMouseEvent event(QEvent::MouseMove, pos, view.mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}

}  // namespace

class SceneViewTest : public QObject {
    Q_OBJECT
public:
    static void initMain() { SceneGLWidget::setDefaultSurfaceFormat(); }

private slots:
    void initTestCase()
    {
        _work_dir = enterTestWorkingDir();
        QVERIFY(_work_dir);
    }

    void init()
    {
        _view = std::make_unique<SceneGLWidget>(nullptr, 400, 300);
        _view->show();
        QVERIFY(QTest::qWaitForWindowExposed(_view.get()));
    }

    void cleanup() { _view.reset(); }

    void meshesAreDrawnCentredAndScaled()
    {
        float centre[3] = {-1, -1, -1};
        float scale = 0;
        _view->setMesh(cubeMesh({{0, 0, 0}, {4, 0, 2}}), true, centre, &scale, 2, false);
        QCOMPARE((QList<float>{centre[0], centre[1], centre[2]}), (QList<float>{2.5f, 0.5f, 1.5f}));
        QVERIFY(std::fabs(scale - 1.0f / std::sqrt(2.5f * 2.5f + 0.25f + 1.5f * 1.5f)) < 1e-6f);
        QVERIFY(_view->renderObject(0)->program() != 0);
        QVERIFY(drawnPixels(_view->grabFramebuffer()) > 500);

        _view->clearObjects();
        QCOMPARE(_view->objectCount(), 0);
        QCOMPARE(drawnPixels(_view->grabFramebuffer()), 0);

        QVERIFY(!_view->loadMeshFile(QStringLiteral("no/such/file.obj")));
        QCOMPARE(_view->objectCount(), 0);
        QFile file(QStringLiteral("triangle.obj"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n") > 0);
        file.close();
        QVERIFY(_view->loadMeshFile(file.fileName()));
        QCOMPARE(_view->objectCount(), 1);
        QCOMPARE(_view->currentMatrix()[14], -3.0);
        _view->reloadShaders();
        QVERIFY(drawnPixels(_view->grabFramebuffer()) > 0);
    }

    void meshSetBeforeShowUploadsOnFirstDraw()
    {
        SceneGLWidget hidden(nullptr, 200, 200);
        hidden.setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 3, false);
        QVERIFY(!hidden.renderObject(0)->buffersInUse());
        hidden.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hidden));
        QVERIFY(drawnPixels(hidden.grabFramebuffer()) > 500);
    }

    // Each camera view turns about x first, then about y; then the camera
    // fits the box: its centre in the middle of the view, its farthest corner
    // at 0.86 of the half width or half height, whichever limits.
    void cameraViewsComposeRotationsAndFit()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}, {3, 1, 0}}), true, nullptr, nullptr, 1, false);
        const TriMesh::BBox box = _view->renderObject(0)->mesh()->bbox;
        // Degrees about x and y for the modes x, y, z, 45, 60, 120, none and all_ortho.
        const float angles[8][2] = {{90, 90}, {90, 0}, {180, 0}, {90, 45}, {90, 30}, {90, -30}, {180, 0}, {180, 0}};
        for (int mode = 0; mode < 8; ++mode) {
            _view->setCameraView(mode);
            SceneGLWidget::Matrix direction = _view->currentMatrix();
            const double zoom = std::hypot(direction[0], direction[1], direction[2]);
            for (int i = 0; i < 12; ++i)
                direction[std::size_t(i)] /= zoom;
            direction[12] = direction[13] = direction[14] = 0.0;
            QMatrix4x4 expected;
            expected.rotate(angles[mode][1], 0, 1, 0);
            expected.rotate(angles[mode][0], 1, 0, 0);
            QVERIFY2(nearlyEqual(direction, expected.constData(), 1e-5), qPrintable(QString::number(mode)));

            QMatrix4x4 modelview, projection;
            std::copy_n(_view->currentMatrix().begin(), 16, modelview.data());
            std::copy_n(_view->projectionMatrix().begin(), 16, projection.data());
            float reach = 0.0f;
            QVector3D sum;
            for (int corner = 0; corner < 8; ++corner) {
                const QVector3D ndc = (projection * modelview).map(QVector3D(
                    corner & 1 ? box.max[0] : box.min[0], corner & 2 ? box.max[1] : box.min[1],
                    corner & 4 ? box.max[2] : box.min[2]));
                reach = std::max({reach, std::fabs(ndc.x()), std::fabs(ndc.y())});
                QVERIFY(std::fabs(ndc.z()) < 1.0f);  // between the near and far planes
                sum += ndc;
            }
            QVERIFY2(std::fabs(reach - 0.86f) < 1e-4f, qPrintable(QString::number(reach)));
            QVERIFY(std::fabs(sum.x()) < 1e-4f && std::fabs(sum.y()) < 1e-4f);
        }
    }

    void mouseRotatesPansAndZooms()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 2, false);
        const auto start = _view->currentMatrix();
        QTest::mousePress(_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
        sendMove(*_view, QPointF(230, 150));
        auto m = _view->currentMatrix();
        QVERIFY(!nearlyEqual(m, start, 1e-6));
        QMatrix4x4 rotation;
        std::copy(m.begin(), m.end(), rotation.data());
        const double zoom = std::hypot(start[0], start[1], start[2]);
        QVERIFY(std::fabs(rotation.determinant() - zoom * zoom * zoom) < 1e-4);  // a turn, the zoom kept
        QVERIFY(std::fabs(m[12]) < 1e-9 && std::fabs(m[13]) < 1e-9 && std::fabs(m[14] - start[14]) < 1e-9);  // in place
        // Leaving the widget stops the rotation.
        sendMove(*_view, QPointF(500, 150));
        QCOMPARE(_view->currentMatrix(), m);
        QTest::mouseRelease(_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));

        // Right drag pans: only the translation changes.
        m = _view->currentMatrix();
        QTest::mousePress(_view.get(), Qt::RightButton, Qt::NoModifier, QPoint(200, 150));
        sendMove(*_view, QPointF(210, 150));
        const auto panned = _view->currentMatrix();
        QVERIFY(std::equal(m.begin(), m.begin() + 12, panned.begin()));
        QVERIFY(panned[12] > m[12]);

        // Both buttons: moving up zooms in, not moving zooms out.
        QTest::mousePress(_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(210, 150));
        sendMove(*_view, QPointF(210, 140));
        QVERIFY(std::fabs(_view->currentMatrix()[0] / panned[0] - 1.030928) < 1e-9);
        sendMove(*_view, QPointF(210, 140));
        QVERIFY(std::fabs(_view->currentMatrix()[0] / panned[0] - 1.030928 * 0.97) < 1e-9);
    }

    void shiftKeysAndTheToolRay()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 2, false);
        QSignalSpy radius(_view.get(), &SceneGLWidget::editRadiusStep);
        QSignalSpy tool(_view.get(), &SceneGLWidget::editToolRequested);
        sendKey(*_view, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(_view->shiftHeld() && _view->toolCursorShown());
        sendKey(*_view, QEvent::KeyPress, Qt::Key_Up, Qt::ShiftModifier);
        sendKey(*_view, QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(radius.size(), 2);
        QCOMPARE(radius.at(0).at(0).toInt(), 1);
        QCOMPARE(radius.at(1).at(0).toInt(), -1);

        _view->grabFramebuffer();
        QTest::mousePress(_view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
        QCOMPARE(tool.size(), 1);
        QCOMPARE(tool.at(0).at(0).toInt(), 200);
        // Z view: the ray under the pointer runs along the object's z axis through the centre.
        float origin[3], direction[3];
        _view->pickRay(origin, direction);
        QVERIFY(std::fabs(origin[0]) < 0.02f && std::fabs(origin[1]) < 0.02f);
        QVERIFY(std::fabs(direction[2]) > 1.0f);
        QVERIFY(std::fabs(direction[0]) < 1e-4f && std::fabs(direction[1]) < 1e-4f);
        // Shift held shows the tool cursor (1, 0, 0.3) under the pointer.
        const QRgb cursor = _view->grabFramebuffer().pixel(200, 150);
        QVERIFY2(qRed(cursor) > 200 && qGreen(cursor) < 40, qPrintable(QString::number(cursor, 16)));
        QTest::mouseRelease(_view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
        sendKey(*_view, QEvent::KeyRelease, Qt::Key_Shift);
        QVERIFY(!_view->shiftHeld() && !_view->toolCursorShown());
    }

    void silhouetteWhileHHeld()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}, {2, 1, 0}}), true, nullptr, nullptr, 3, false);
        const QImage shaded = _view->grabFramebuffer();
        sendKey(*_view, QEvent::KeyPress, Qt::Key_H);
        const QImage silhouette = _view->grabFramebuffer();
        // Flat black on white: only edge pixels are neither.
        const int drawn = drawnPixels(silhouette);
        QVERIFY(drawn > 500);
        QVERIFY(drawnPixels(silhouette, qRgb(0, 0, 0)) - (silhouette.width() * silhouette.height() - drawn)
                < drawn / 10);
        sendKey(*_view, QEvent::KeyRelease, Qt::Key_H);
        QCOMPARE(_view->grabFramebuffer(), shaded);
    }

    // A cell both editable and disconnected (state 3) shows the highlights
    // that apply: disconnected with its flag, editable only while Shift is
    // held with a removing tool. Replacing the mesh keeps the camera.
    void cellColoursFollowFlagsShiftAndTool()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 3, false);
        sendWheel(*_view, 120);
        const auto matrix = _view->currentMatrix();
        _view->setMesh(cubeMesh({{0, 0, 0, 3}}), true, nullptr, nullptr, 0, true);
        QCOMPARE(_view->objectCount(), 1);
        QCOMPARE(_view->currentMatrix(), matrix);
        // Hues of the shader's plain, editable, disconnected and both colours.
        enum { Plain = 220, Editable = 138, Disconnected = 2, Both = 34 };
        auto hue = [&] { return QColor(_view->grabFramebuffer().pixel(200, 150)).hue(); };
        const std::pair<std::function<void()>, int> steps[] = {
            {[] {}, Plain},
            {[&] { _view->setRenderFlag(1, true); }, Plain},
            {[&] { sendKey(*_view, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier); }, Editable},
            {[&] { _view->setRenderFlag(2, true); }, Both},
            {[&] { _view->setActiveTool(SceneGLWidget::SubtractRay); }, Disconnected},
            {[&] { _view->updateCellData(*std::unique_ptr<TriMesh>(cubeMesh({{0, 0, 0}}))); }, Plain},
        };
        for (const auto& [step, expected] : steps) {
            step();
            const int off = std::abs(hue() - expected);
            QVERIFY2(std::min(off, 360 - off) <= 6, qPrintable(QString::number(hue())));
        }
    }

    // The window's Ctrl+B and Ctrl+A: the volume's box with its grid, and the axes.
    void boxGridAndAxesAreDrawn()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}, {1, 1, 1}}), true, nullptr, nullptr, 3, false);
        const int cubes = drawnPixels(_view->grabFramebuffer());
        _view->setVolumeDimensions(2, 2, 2);
        _view->setShowBoxAndGrid(true);
        _view->setShowAxis(true);
        QVERIFY(drawnPixels(_view->grabFramebuffer()) > cubes);
    }

private:
    std::unique_ptr<QTemporaryDir> _work_dir;
    std::unique_ptr<SceneGLWidget> _view;
};

QTEST_MAIN(SceneViewTest)
#include "SceneViewTest.moc"
