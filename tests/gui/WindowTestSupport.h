#pragma once
// Helpers for the tests that drive the real main window: building and showing
// it, choosing a preset and pressing "generate" with real clicks, and
// reading the volume it built.

#include "GuiTestSupport.h"

#include "app/FormWidgets.h"  // the form's widget classes
#include "app/KalvexWindow.h"
#include "files/Recovery.h"
#include "render/SceneGLWidget.h"
#include "volume/ShadowObject.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace gui_test {

inline std::unique_ptr<KalvexWindow> shownWindow()
{
    auto window = std::make_unique<KalvexWindow>();
    window->resize(1200, 900);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

inline void click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Base of the window tests: one working folder with copies of the run-time
// data for the whole test, and a fresh, shown window for every test function.
class WindowTestCase : public QObject {
    Q_OBJECT
public:
    static void initMain() { SceneGLWidget::setDefaultSurfaceFormat(); }

private slots:
    void initTestCase()
    {
        _work_dir = enterTestWorkingDir();
        QVERIFY(_work_dir);
        // A data folder of this program's own: the recovery copy of a window
        // test running beside it would otherwise be offered at start-up, in
        // a message box nobody answers.
        QVERIFY(_data_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(_data_dir.path()));
    }

    void init()
    {
        removeRecovery();  // a copy left by an aborted run would be offered
        _window = shownWindow();
        QVERIFY(_window);
    }

    void cleanup() { _window.reset(); }

protected:
    const KalvexForm& form() const { return _window->form(); }
    QString status() const { return _window->statusLabel()->text(); }
    int cellCount() const { return _window->master() ? countOccupiedCells(*_window->master()) : -1; }
    SceneGLWidget::Matrix viewMatrix() const { return _window->view()->currentMatrix(); }

    // Enabled groups: projection, generate, deform, edit, finish, camera, perspective.
    QList<bool> stages() const
    {
        const KalvexForm& f = form();
        return {f.gbx_simple_projection->isEnabled(), f.gbx_simple_generate->isEnabled(),
                f.gbx_simple_deform->isEnabled(),     f.gbx_simple_edit->isEnabled(),
                f.gbx_simple_finish->isEnabled(),     f.gbx_camera_group->isEnabled(),
                f.gbx_perspective->isEnabled()};
    }

    // The projection modes of the view objects, in order.
    QList<int> viewModes() const
    {
        QList<int> modes;
        for (const ShadowView& view : _window->viewObjects())
            modes.append(view._projection_mode);
        return modes;
    }

    // Chooses a preset entry (and the projection combo's index) and presses "generate".
    void generate(const QString& entry, int orthoTypeIndex = 0)
    {
        form().cmb_simple_ortho_type->setCurrentIndex(orthoTypeIndex);
        form().cmb_simple_preset->setCurrentText(entry);
        click(form().btn_simple_generate_volume);
    }

    std::unique_ptr<QTemporaryDir> _work_dir;
    QTemporaryDir _data_dir;
    std::unique_ptr<KalvexWindow> _window;
};

}  // namespace gui_test
