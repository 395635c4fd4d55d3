#pragma once
// Helpers for the tests that drive the real main window: building and showing
// it, choosing a preset and pressing "generate" with real clicks, and
// reading the volume it built.

#include "GuiTestSupport.h"

#include "app/KalvexWindow.h"
#include "volume/ShadowObject.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <QTemporaryDir>

#include <array>
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

// Chooses a preset entry (and the projection combo's index) and presses "generate".
inline void generatePreset(KalvexWindow& window, const QString& entry, int orthoTypeIndex = 0)
{
    const KalvexForm& f = window.form();
    f.cmb_simple_ortho_type->setCurrentIndex(orthoTypeIndex);
    f.cmb_simple_preset->setCurrentText(entry);
    click(f.btn_simple_generate_volume);
}

inline QString status(const KalvexWindow& window)
{
    return window.statusLabel()->text();
}

inline std::array<int, 3> viewModes(const KalvexWindow& window)
{
    std::array<int, 3> modes{-1, -1, -1};
    const auto& views = window.viewObjects();
    for (std::size_t k = 0; k < views.size() && k < 3; ++k)
        modes[k] = views[k]._projection_mode;
    return modes;
}

inline int cellCount(const KalvexWindow& window)
{
    return window.master() ? countOccupiedCells(*window.master()) : -1;
}

// Base of the window tests: one working folder with copies of the run-time
// data for the whole test, and a fresh, shown window for every test function.
class WindowTestCase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        _work_dir = enterTestWorkingDir();
        QVERIFY(_work_dir);
    }

    void init()
    {
        _window = shownWindow();
        QVERIFY(_window);
    }

    void cleanup() { _window.reset(); }

protected:
    std::unique_ptr<QTemporaryDir> _work_dir;
    std::unique_ptr<KalvexWindow> _window;
};

}  // namespace gui_test
