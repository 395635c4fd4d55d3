#pragma once
// Long steps without a frozen window: the step runs on a worker thread while
// the window's event loop goes on painting; user input waits until the step
// is done, and a step that takes more than half a second shows a progress
// dialog (busy, or with the step's own progress). The step must not touch
// widgets; progress reaches the dialog through a queued call.

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QThread>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace BusyRunner {

// Reports progress 0..100 from the worker thread.
using Progress = std::function<void(int)>;

// Runs step(progress) and returns its value.
template <class T>
T run(QWidget* window, const QString& what, const std::function<T(const Progress&)>& step)
{
    QProgressDialog dialog(what, QString(), 0, 0, window);
    dialog.setObjectName(QStringLiteral("busyDialog"));
    dialog.setWindowTitle(QStringLiteral("Kalvex"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QPointer<QProgressDialog> shown(&dialog);
    const Progress progress = [shown](int value) {
        QMetaObject::invokeMethod(
            qApp,
            [shown, value] {
                if (shown) {
                    shown->setMaximum(100);
                    shown->setValue(value);
                }
            },
            Qt::QueuedConnection);
    };
    std::optional<T> result;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] { result.emplace(step(progress)); }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    return std::move(*result);  // progress calls still queued find the dialog gone
}

}  // namespace BusyRunner
