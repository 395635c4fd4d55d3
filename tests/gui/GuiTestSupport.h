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
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QImage>

#include <cmath>
#include <functional>
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

// Runs `action` and answers each dialog of class D that it opens: `answer`
// gets the dialog and must close it. Nothing polls: an application-wide event
// filter sees the dialog's Show event and queues the answer, so the answer
// runs inside the dialog's own modal loop (a dialog closed before that loop
// starts would leave the loop running for ever). `prepare`, when given, runs
// at the Show event itself: Qt sends it before the dialog's window is mapped,
// so the dialog is not active yet and holds no keyboard focus. A dialog the
// answer leaves open fails the test and is rejected instead of hanging it.
template <class D>
class DialogAnswerer : public QObject {
public:
    using Answer = std::function<void(D*)>;
    DialogAnswerer(Answer answer, Answer prepare) : _answer(std::move(answer)), _prepare(std::move(prepare))
    {
        qApp->installEventFilter(this);
    }
    ~DialogAnswerer() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        D* dialog = qobject_cast<D*>(watched);
        if (!dialog || !dialog->isWindow())
            return false;
        if (_prepare)
            _prepare(dialog);
        QMetaObject::invokeMethod(
            dialog,
            [self = QPointer<DialogAnswerer>(this), dialog] {
                if (!self || !dialog->isVisible())
                    return;
                self->_answer(dialog);
                if (dialog->isVisible()) {
                    QTest::qFail(qPrintable(QStringLiteral("the answer left the dialog \"%1\" open")
                                                .arg(dialog->windowTitle())),
                                 __FILE__, __LINE__);
                    dialog->reject();
                }
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    Answer _answer;
    Answer _prepare;
};

template <class D, class Answer, class Action>
void answering(Answer answer, Action action, std::function<void(D*)> prepare = {})
{
    const DialogAnswerer<D> answerer(answer, std::move(prepare));
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

// Runs `action` and answers the file dialog it opens with `path`. The file
// is chosen at the Show event: QFileDialog::selectFile leaves the file name
// field alone once that field has the keyboard focus, which the dialog gets
// as soon as the window system activates it.
template <class Action>
void answerFileDialog(const QString& path, Action action)
{
    const auto choose = [&](QFileDialog* dialog) { dialog->selectFile(path); };
    const auto answer = [&](QFileDialog* dialog) {
        if (dialog->selectedFiles().value(0) == path)
            static_cast<QDialog*>(dialog)->accept();
    };
    answering<QFileDialog>(answer, action, std::function<void(QFileDialog*)>(choose));
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
