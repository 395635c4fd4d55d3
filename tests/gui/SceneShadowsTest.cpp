// The 3-D view in the main window: its share of the window, the camera fitted
// to the volume, the walls with the volume's shadows, and the view saved as a
// picture.

#include "WindowTestSupport.h"

#include "session/ShadowWalls.h"
#include "render/VoxelRenderObject.h"

#include <QMatrix4x4>
#include <QMouseEvent>
#include <QPolygonF>
#include <QSplitter>
#include <QWheelEvent>

using namespace gui_test;

namespace {

QMatrix4x4 toQMatrix(const SceneGLWidget::Matrix& m)
{
    QMatrix4x4 q;
    std::copy_n(m.begin(), 16, q.data());
    return q;
}

// Widget coordinates of a point of the drawn object.
QPointF onScreen(const SceneGLWidget& view, const QVector3D& p)
{
    const QVector3D ndc = (toQMatrix(view.projectionMatrix()) * toQMatrix(view.currentMatrix())).map(p);
    return {(ndc.x() + 1.0) / 2.0 * view.width(), (1.0 - ndc.y()) / 2.0 * view.height()};
}

// The screen rectangle of the current volume's box.
QRectF volumeOnScreen(const SceneGLWidget& view)
{
    const TriMesh::BBox& box = view.renderObject(view.objectCount() - 1)->mesh()->bbox;
    QPolygonF corners;
    for (int i = 0; i < 8; ++i)
        corners << onScreen(view, QVector3D(i & 1 ? box.max[0] : box.min[0], i & 2 ? box.max[1] : box.min[1],
                                            i & 4 ? box.max[2] : box.min[2]));
    return corners.boundingRect();
}

// The walls on screen that face the camera (the others are not drawn).
QList<QPolygonF> wallsOnScreen(const SceneGLWidget& view)
{
    const QMatrix4x4 modelview = toQMatrix(view.currentMatrix());
    QList<QPolygonF> walls;
    for (const ShadowWall& wall : view.shadowWalls()) {
        if (modelview.mapVector(QVector3D::crossProduct(wall.down, wall.across)).z() <= 0.0f)
            continue;
        QPolygonF outline;
        for (const QVector3D& p : wall.outline)
            outline << onScreen(view, p);
        walls << outline;
    }
    return walls;
}

// Pixels of the shadows on the walls: dark and warm (the volume is cool grey),
// in whatever tone the wall is drawn.
int shadowPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qRed(p) < 100 && qRed(p) >= qBlue(p) + 6;
        }
    return n;
}

int colourDistance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

void drag(SceneGLWidget* view, QPoint by)
{
    const QPoint from = view->rect().center();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 10; ++i) {
        const QPointF at = from + by * (i / 10.0);
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, from + by);
}

void wheel(SceneGLWidget* view, int steps, int delta)
{
    const QPointF at = view->rect().center();
    for (int i = 0; i < steps; ++i) {
        QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
    }
}

}  // namespace

class SceneShadowsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    // Shown at its own size, the window gives the view at least half its
    // width; the side panels keep room for their contents.
    void viewTakesTheMainArea()
    {
        KalvexWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const KalvexForm& f = window.form();
        QVERIFY2(2 * window.view()->width() >= window.width(),
                 qPrintable(QStringLiteral("%1 of %2").arg(window.view()->width()).arg(window.width())));
        QCOMPARE(window.view()->parentWidget(), f.render_widget);
        QCOMPARE(f.mainSplitter->indexOf(f.meshViewer), 1);
        for (QWidget* side : {static_cast<QWidget*>(f.left_panel), static_cast<QWidget*>(f.taw_right)})
            QVERIFY(side->isVisible() && side->width() >= side->minimumSizeHint().width());
    }

    // "generate", every camera button, "increase resolution" and an opened
    // scene show the whole volume, with a margin, and not lost in the middle.
    void cameraFitsTheVolume()
    {
        const KalvexForm& f = form();
        SceneGLWidget* view = _window->view();
        auto fits = [&](const QString& step) {
            const QRectF box = volumeOnScreen(*view);
            const QRectF inner = QRectF(view->rect()).adjusted(0.04 * view->width(), 0.04 * view->height(),
                                                              -0.04 * view->width(), -0.04 * view->height());
            const QString where = QStringLiteral("%1: %2,%3 %4x%5 in %6x%7")
                                      .arg(step)
                                      .arg(box.x())
                                      .arg(box.y())
                                      .arg(box.width())
                                      .arg(box.height())
                                      .arg(view->width())
                                      .arg(view->height());
            QVERIFY2(inner.contains(box), qPrintable(where));
            QVERIFY2(box.width() > 0.6 * view->width() || box.height() > 0.6 * view->height(), qPrintable(where));
        };
        generate(QStringLiteral("birds"));
        fits(QStringLiteral("generate"));
        for (QRadioButton* camera : {f.simple_camera_y, f.simple_camera_z, f.simple_camera_x}) {
            wheel(view, 30, 120);  // zoomed in far: the volume runs off the view
            click(camera);
            fits(camera->text());
        }
        wheel(view, 30, 120);
        click(f.btn_simple_increase_res);
        QCOMPARE(f.spn_simple_res->value(), 4);
        fits(QStringLiteral("increase resolution"));

        _window->saveSceneTo(QStringLiteral("birds.kxscene"));
        f.simple_camera_z->setChecked(true);
        wheel(view, 30, 120);
        _window->openSceneFrom(QStringLiteral("birds.kxscene"));
        QCOMPARE(status(), QStringLiteral("all set."));
        fits(QStringLiteral("open scene"));
    }

    // Along each light the volume hides its own shadow exactly, with the wall
    // around it. Turned to look into the corner, the shadows show beside
    // the volume, and "show shadows" changes the picture only on the walls.
    // The walls follow the volume.
    void wallsShowTheVolumesShadows()
    {
        const KalvexForm& f = form();
        SceneGLWidget* view = _window->view();
        generate(QStringLiteral("birds"));
        QVERIFY(f.chkShowShadows->isChecked());
        QCOMPARE(view->shadowWalls().size(), std::size_t(3));  // the x and y walls and the floor
        const int pixels = view->width() * view->height();
        for (QRadioButton* camera : {f.simple_camera_x, f.simple_camera_y, f.simple_camera_z}) {
            click(camera);
            const QImage along = view->grabFramebuffer();
            QVERIFY2(shadowPixels(along) < pixels / 1000, qPrintable(camera->text()));
            // The wall stands behind the whole volume.
            const QImage behind = along.copy(volumeOnScreen(*view).toRect());
            QVERIFY(drawnPixels(behind) > behind.width() * behind.height() * 99 / 100);
        }

        click(f.simple_camera_x);
        drag(view, QPoint(-110, 0));
        drag(view, QPoint(0, 150));
        wheel(view, 20, -120);
        const QImage on = view->grabFramebuffer();
        QVERIFY(shadowPixels(on) > pixels / 50);
        const QList<QPolygonF> walls = wallsOnScreen(*view);
        QCOMPARE(walls.size(), 3);  // the camera sees into the corner
        click(f.chkShowShadows);
        QVERIFY(view->shadowWalls().empty());
        const QImage off = view->grabFramebuffer();
        QCOMPARE(shadowPixels(off), 0);

        // Pixels clearly inside a wall or clearly outside all (2 pixels from every edge).
        int inside = 0, changedInside = 0, changedOutside = 0;
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x) {
                int covered = 0;
                for (const QPointF& d : {QPointF(0, 0), QPointF(2, 0), QPointF(-2, 0), QPointF(0, 2), QPointF(0, -2)}) {
                    const QPointF at = QPointF(x + 0.5, y + 0.5) + d;
                    covered += std::any_of(walls.begin(), walls.end(),
                                           [&](const QPolygonF& w) { return w.containsPoint(at, Qt::OddEvenFill); });
                }
                const bool changed = colourDistance(on.pixel(x, y), off.pixel(x, y)) > 12;
                if (covered == 5) {
                    ++inside;
                    changedInside += changed;
                } else if (covered == 0) {
                    changedOutside += changed;
                }
            }
        QVERIFY2(changedOutside == 0, qPrintable(QString::number(changedOutside)));
        QVERIFY2(changedInside > inside * 6 / 10, qPrintable(QStringLiteral("%1 of %2").arg(changedInside).arg(inside)));

        // The x wall holds the x view's shadow, 4 x 4 texels per shadow pixel,
        // after "generate" and again after "increase resolution".
        click(f.chkShowShadows);
        auto xWallMatchesShadow = [&] {
            const QImage& picture = view->shadowWalls().front().picture;
            const int texels = picture.width() * picture.height() - drawnPixels(picture, shadowColour());
            const int expected = 16 * _window->session().volume().counts().shadow[0];
            return std::abs(texels - expected) < expected / 20;
        };
        QVERIFY(xWallMatchesShadow());
        click(f.btn_simple_increase_res);
        QCOMPARE(view->shadowWalls().size(), std::size_t(3));
        QVERIFY(xWallMatchesShadow());
    }

    // "save view as picture ..." offers twice the view's size and writes a
    // PNG of the size chosen; an unwritable folder is one status line.
    void saveViewWritesThePictureAsked()
    {
        generate(QStringLiteral("birds"));
        SceneGLWidget* view = _window->view();
        QSize offered;
        answering<QDialog>(
            [&](QDialog* dialog) {
                if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
                    files->selectFile(QDir::current().filePath(QStringLiteral("bird view")));
                    QMetaObject::invokeMethod(files, "accept");
                } else if (dialog->objectName() == QStringLiteral("saveViewPictureDialog")) {
                    auto* width = dialog->findChild<QSpinBox*>(QStringLiteral("spnPictureWidth"));
                    auto* height = dialog->findChild<QSpinBox*>(QStringLiteral("spnPictureHeight"));
                    offered = QSize(width->value(), height->value());
                    width->setValue(321);
                    height->setValue(123);
                    dialog->accept();
                }
            },
            [&] { click(form().btn_save_view_picture); });
        QCOMPARE(offered, 2 * view->size());
        const QString written = QDir::current().filePath(QStringLiteral("bird view.png"));  // ".png" added
        QCOMPARE(status(), QStringLiteral("View saved as %1 (321 x 123 pixels).").arg(written));
        const QImage picture(written);
        QCOMPARE(picture.size(), QSize(321, 123));
        // Wider than the view: its full height, more at the sides.
        QVERIFY(drawnPixels(picture) > 321 * 123 / 5);
        QVERIFY(drawnPixels(picture, qRgb(255, 255, 255), 0, 40) == 0);
        // At the view's own size the picture is what the view shows.
        const QImage same = view->renderPicture(view->size());
        const QImage shown = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(same.size(), shown.size());
        int differing = 0;
        for (int y = 0; y < same.height(); ++y)
            for (int x = 0; x < same.width(); ++x)
                differing += colourDistance(same.pixel(x, y), shown.pixel(x, y)) > 12;
        QVERIFY2(differing < same.width() * same.height() / 200, qPrintable(QString::number(differing)));

        _window->saveViewPictureTo(QStringLiteral("no/such/folder/view.png"), QSize(64, 48));
        QCOMPARE(status(), QStringLiteral("Cannot write no/such/folder/view.png."));
    }

private:
    static QRgb shadowColour() { return ShadowWalls::wallColour(qRgb(0, 0, 0)); }
};

QTEST_MAIN(SceneShadowsTest)
#include "SceneShadowsTest.moc"
