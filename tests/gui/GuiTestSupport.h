#pragma once
// Shared set-up of the GUI tests. The program reads Shaders/, IncludedData/
// and Models/Images/ relative to its working directory, so each test runs in
// a temporary directory that holds copies of them.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace gui_test {

// Copies the directory tree `from` into `to` (created as needed).
inline bool copyTree(const QString& from, const QString& to)
{
    const QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        const bool ok = QFileInfo(path).isDir() ? QDir().mkpath(target) : QFile::copy(path, target);
        if (!ok)
            return false;
    }
    return true;
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

// Answers the next modal message box by clicking its button labelled
// `buttonText` (mnemonic marks ignored), as soon as the box shows. Keep the object alive until the
// handler that opens the box has returned; `title` then holds the box's title
// and `count` the number of boxes answered.
class MessageBoxAnswer {
public:
    explicit MessageBoxAnswer(const QString& buttonText) : _timer(std::make_unique<QTimer>())
    {
        QObject::connect(_timer.get(), &QTimer::timeout, [this, buttonText] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            for (QAbstractButton* button : box->buttons())
                if (button->text().remove(QLatin1Char('&')) == buttonText) {
                    title = box->windowTitle();
                    text = box->text();
                    ++count;
                    button->click();
                    return;
                }
        });
        _timer->start(20);
    }

    QString title;
    QString text;
    int count = 0;

private:
    std::unique_ptr<QTimer> _timer;
};

}  // namespace gui_test
