#pragma once
// Shared set-up of the GUI tests. The program reads Shaders/, IncludedData/
// and Models/Images/ relative to its working directory, so each test runs in
// a temporary directory that holds copies of them.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QImage>
#include <QTimer>

#include <cmath>
#include <memory>

namespace gui_test {

// Copies the files under `from` into the same places under `to`.
inline bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(it.next());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(it.filePath(), target))
            return false;
    }
    return QDir(from).exists();
}

// Creates the temporary working directory with the copies and changes into
// it. Null on failure. Keep the returned object alive while the tests run.
inline std::unique_ptr<QTemporaryDir> enterTestWorkingDir()
{
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        return nullptr;
    const QString source = QStringLiteral(KALVEX_SOURCE_DIR);
    for (const char* folder : {"Shaders", "IncludedData", "Models/Images"}) {
        const QString name = QString::fromLatin1(folder);
        if (!copyTree(source + QLatin1Char('/') + name, dir->path() + QLatin1Char('/') + name))
            return nullptr;
    }
    if (!QDir::setCurrent(dir->path()))
        return nullptr;
    return dir;
}

// Runs `action` while a timer hands each modal dialog of class D it opens
// to `answer`, which must close it.
template <class D, class Answer, class Action>
void answering(Answer answer, Action action)
{
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget()))
            answer(dialog);
    });
    timer.start(20);
    action();
}

// Runs `action` and answers each message box it opens with the button
// labelled `buttonText` (mnemonic marks ignored). Returns the titles of the
// boxes answered, in order.
template <class Action>
QStringList answerMessageBoxes(const QString& buttonText, Action action)
{
    QStringList titles;
    const auto answer = [&](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            if (button->text().remove(QLatin1Char('&')) == buttonText) {
                titles.append(box->windowTitle());
                return button->click();
            }
    };
    answering<QMessageBox>(answer, action);
    return titles;
}

// Runs `action` and answers the file dialog it opens with `path`.
template <class Action>
void answerFileDialog(const QString& path, Action action)
{
    const auto answer = [&](QFileDialog* dialog) {
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    answering<QFileDialog>(answer, action);
}

// Entry-wise comparison of two column-major 4x4 matrices (arrays, or a
// QMatrix4x4's constData()).
template <class A, class B>
bool nearlyEqual(const A& a, const B& b, double tolerance = 1e-9)
{
    for (std::size_t i = 0; i < 16; ++i)
        if (std::fabs(double(a[i]) - double(b[i])) > tolerance)
            return false;
    return true;
}

// Pixels in columns [x0, x1) (x1 < 0: to the right edge) whose colour differs
// from `background` by 8 or more in some channel.
inline int drawnPixels(const QImage& image, QRgb background = qRgb(255, 255, 255), int x0 = 0, int x1 = -1)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = x0; x < (x1 < 0 ? image.width() : x1); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - qRed(background)) >= 8 || std::abs(qGreen(p) - qGreen(background)) >= 8
                 || std::abs(qBlue(p) - qBlue(background)) >= 8;
        }
    return n;
}

}  // namespace gui_test
