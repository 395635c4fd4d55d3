#include "surface/SafeFile.h"

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

// Unbuffered: a short write (the file size limit or a full disk) shows in the
// count of the write that met it. A buffered device loses it on the flush,
// and the truncated file would be committed.
bool writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (!write(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool saveFileSafely(const QString& path, const QByteArray& bytes)
{
    return writeFileSafely(path, [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
}

bool saveFileSafely(const std::string& path, const std::string& bytes)
{
    return saveFileSafely(QString::fromLocal8Bit(path.c_str()),
                          QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool savePictureSafely(const QImage& picture, const QString& path)
{
    if (picture.isNull())
        return false;
    QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty())
        format = "png";
    return writeFileSafely(path, [&](QIODevice& file) { return picture.save(&file, format.constData()); });
}
