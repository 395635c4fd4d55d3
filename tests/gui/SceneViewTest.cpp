// The 3-D view with a real OpenGL context: camera views and their matrices,
// zoom, silhouette, animation, the voxel program's uniforms, slicing and
// picking. Stored views are tested through the main window (WorkflowTest).

#include "GuiTestSupport.h"

#include "render/SceneGLWidget.h"
#include "render/VoxelRenderObject.h"
#include "surface/TriMesh.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QSignalSpy>
#include <QWheelEvent>

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
        QCOMPARE(drawnPixels(_view->grabFramebuffer()), 0);
        float centre[3] = {-1, -1, -1};
        float scale = 0;
        _view->setMesh(cubeMesh({{0, 0, 0}, {4, 0, 2}}), true, centre, &scale, 2, false);
        QCOMPARE((QList<float>{centre[0], centre[1], centre[2]}), (QList<float>{2.5f, 0.5f, 1.5f}));
        QVERIFY(std::fabs(scale - 1.0f / std::sqrt(2.5f * 2.5f + 0.25f + 1.5f * 1.5f)) < 1e-6f);
        QVERIFY(_view->renderObject(0)->buffersInUse());
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
        QVERIFY(hidden.renderObject(0)->buffersInUse());
    }

    void cameraViewsComposeRotations_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<float>("angleX");
        QTest::addColumn<float>("angleY");
        QTest::newRow("x") << 0 << 90.0f << 90.0f;
        QTest::newRow("y") << 1 << 90.0f << 0.0f;
        QTest::newRow("z") << 2 << 180.0f << 0.0f;
        QTest::newRow("45") << 3 << 90.0f << 45.0f;
        QTest::newRow("60") << 4 << 90.0f << 30.0f;
        QTest::newRow("120") << 5 << 90.0f << -30.0f;
        QTest::newRow("none") << 6 << 180.0f << 0.0f;
        QTest::newRow("all_ortho") << 7 << 180.0f << 0.0f;
    }

    void cameraViewsComposeRotations()
    {
        QFETCH(int, mode);
        QFETCH(float, angleX);
        QFETCH(float, angleY);
        _view->setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 1, false);
        _view->setCameraView(mode);
        // The rotation around x comes first, then the one around y, then
        // the camera moves the scene centre three units away.
        QMatrix4x4 expected;
        expected.translate(0, 0, -3);
        expected.rotate(angleY, 0, 1, 0);
        expected.rotate(angleX, 1, 0, 0);
        QVERIFY(nearlyEqual(_view->currentMatrix(), expected.constData(), 1e-5));
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
        QVERIFY(std::fabs(rotation.determinant() - 1.0) < 1e-4);  // a pure rotation
        QVERIFY(std::fabs(m[12]) < 1e-9 && std::fabs(m[13]) < 1e-9 && std::fabs(m[14] + 3.0) < 1e-9);  // in place
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

        // Nothing under the pointer: no ray.
        QTest::mousePress(_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        _view->pickRay(origin, direction);
        QCOMPARE(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2], 0.0f);
    }

    void silhouetteWhileHHeld()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}, {2, 1, 0}}), true, nullptr, nullptr, 3, false);
        const QImage shaded = _view->grabFramebuffer();
        sendKey(*_view, QEvent::KeyPress, Qt::Key_H);
        QVERIFY(_view->silhouetteOnly());
        const QImage silhouette = _view->grabFramebuffer();
        QVERIFY(silhouette != shaded);
        // Flat black on white: only edge pixels are neither.
        const int drawn = drawnPixels(silhouette);
        QVERIFY(drawn > 500);
        QVERIFY(drawnPixels(silhouette, qRgb(0, 0, 0)) - (silhouette.width() * silhouette.height() - drawn)
                < drawn / 10);
        sendKey(*_view, QEvent::KeyRelease, Qt::Key_H);
        QVERIFY(!_view->silhouetteOnly());
        QCOMPARE(_view->grabFramebuffer(), shaded);
    }

    void uniformsCarryMaskedFlags()
    {
        _view->setMesh(cubeMesh({{0, 0, 0, 3, 1}}), true, nullptr, nullptr, 2, false);
        auto* gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(_view->context());
        QVERIFY(gl);
        const GLuint program = _view->renderObject(0)->program();
        auto uniforms = [&] {
            _view->grabFramebuffer();
            _view->makeCurrent();
            QList<GLint> values;
            for (const char* name : {"render_removable_enabled", "render_disconnected_enabled",
                                     "render_silhouette_enabled", "white_background"}) {
                values.append(-1);
                gl->glGetUniformiv(program, gl->glGetUniformLocation(program, name), &values.back());
            }
            _view->doneCurrent();
            return values;
        };
        QCOMPARE(uniforms(), (QList<GLint>{0, 0, 0, 1}));
        for (unsigned bit : {1u, 2u, 4u})
            _view->setRenderFlag(bit, true);
        QCOMPARE(_view->renderFlags(), 7u);
        // Editable cells only with Shift and a removing tool, silhouette only with H.
        QCOMPARE(uniforms(), (QList<GLint>{0, 2, 0, 1}));
        sendKey(*_view, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        sendKey(*_view, QEvent::KeyPress, Qt::Key_H);
        QCOMPARE(uniforms(), (QList<GLint>{1, 2, 4, 1}));
        _view->setActiveTool(SceneGLWidget::SubtractRay);
        _view->setWhiteBackground(false);
        QCOMPARE(uniforms(), (QList<GLint>{0, 2, 4, 0}));
    }

    void slicingHidesCells()
    {
        // Three cells side by side along x at z = 0, 1, 2; seen along z.
        const std::vector<TestCell> cells = {{0, 0, 0}, {2, 0, 1}, {4, 0, 2}};
        _view->setMesh(cubeMesh(cells), true, nullptr, nullptr, 2, false);
        auto thirds = [&] {
            const QImage image = _view->grabFramebuffer();
            QList<bool> drawn;
            for (int x0 : {0, 133, 266})
                drawn.append(drawnPixels(image, qRgb(255, 255, 255), x0, x0 + 134) > 100);
            return drawn;
        };
        QCOMPARE(thirds(), (QList<bool>{true, true, true}));
        _view->setSliceMin(1);
        _view->setSliceMax(1);
        QCOMPARE(thirds(), (QList<bool>{false, true, false}));
        _view->setSliceInvert(true);
        QCOMPARE(thirds(), (QList<bool>{true, false, true}));
        _view->setSliceInvert(false);
        _view->setSliceMin(0);
        QCOMPARE(thirds(), (QList<bool>{true, true, false}));

        // Without cell data there is no program and no slicing; the fixed
        // pipeline's grey material has equal channels.
        _view->setMesh(cubeMesh(cells, false), true, nullptr, nullptr, 2, true);
        QCOMPARE(thirds(), (QList<bool>{true, true, true}));
        const QRgb grey = _view->grabFramebuffer().pixel(200, 150);
        QVERIFY(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey));
    }

    void replaceKeepsMatrixAndCellColours()
    {
        _view->setMesh(cubeMesh({{0, 0, 0}}), true, nullptr, nullptr, 3, false);
        sendWheel(*_view, 120);
        const auto matrix = _view->currentMatrix();
        const QRgb plain = _view->grabFramebuffer().pixel(200, 150);
        QVERIFY(qBlue(plain) > qRed(plain));

        // Disconnected cells turn red only with their render flag.
        _view->setMesh(cubeMesh({{0, 0, 0, 2}}), true, nullptr, nullptr, 0, true);
        QCOMPARE(_view->objectCount(), 1);
        QCOMPARE(_view->currentMatrix(), matrix);
        QCOMPARE(_view->grabFramebuffer().pixel(200, 150), plain);
        _view->setRenderFlag(2, true);
        const QRgb red = _view->grabFramebuffer().pixel(200, 150);
        QVERIFY(qRed(red) > 2 * qGreen(red) && qRed(red) > 2 * qBlue(red));

        // New cell data for the same mesh: plain again.
        std::unique_ptr<TriMesh> fresh(cubeMesh({{0, 0, 0, 0}}));
        _view->updateCellData(*fresh);
        QCOMPARE(_view->grabFramebuffer().pixel(200, 150), plain);
    }

    void renderModesAndGrid()
    {
        _view->setWhiteBackground(false);
        _view->setMesh(cubeMesh({{0, 0, 0}, {1, 1, 1}}), true, nullptr, nullptr, 3, false);
        const QRgb black = qRgb(0, 0, 0);
        const int smooth = drawnPixels(_view->grabFramebuffer(), black);
        for (int mode : {0, 2, 3, 4}) {
            _view->setRenderMode(mode);
            QVERIFY2(drawnPixels(_view->grabFramebuffer(), black) > 0, qPrintable(QString::number(mode)));
        }
        _view->setRenderMode(9);
        QCOMPARE(drawnPixels(_view->grabFramebuffer(), black), 0);
        // Back to smooth: the same picture up to the edge pixels that flat
        // mode's multisampling switch (left off afterwards) changes.
        _view->setRenderMode(1);
        const int smoothAgain = drawnPixels(_view->grabFramebuffer(), black);
        QVERIFY(std::abs(smoothAgain - smooth) < smooth / 20);

        _view->setVolumeDimensions(2, 2, 2);
        _view->setShowBoxAndGrid(true);
        _view->setShowAxis(true);
        QVERIFY(drawnPixels(_view->grabFramebuffer(), black) > smoothAgain);
    }

private:
    std::unique_ptr<QTemporaryDir> _work_dir;
    std::unique_ptr<SceneGLWidget> _view;
};

QTEST_MAIN(SceneViewTest)
#include "SceneViewTest.moc"
