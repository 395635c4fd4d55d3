#include "surface/SafeFile.h"

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

bool saveFileSafely(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!picture.save(&file, format.constData())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
