// Kalvex: builds the main window, shows it maximised with the 3-D view filling
// its frame, and runs the event loop.

#include "app/KalvexWindow.h"
#include "render/SceneGLWidget.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    SceneGLWidget::setDefaultSurfaceFormat();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kalvex"));
    auto window = std::make_unique<KalvexWindow>();
    window->showMaximized();
    const QRect frame = window->form().render_widget->geometry();
    window->view()->resize(frame.right() - frame.left() + 1, frame.bottom() - frame.top() + 1);
    const int result = QApplication::exec();
    window.reset();
    return result;
}
