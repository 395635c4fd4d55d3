#pragma once
// Files written whole or not at all: the bytes go to a temporary file beside
// the target, which takes the target's place only once everything is on
// disk. A write that fails or is interrupted (a full disk, a killed process)
// leaves the old file as it was. Every file Kalvex writes goes through here.

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>

class QIODevice;
class QImage;

// `write` fills the temporary file (false when it could not); the file
// replaces the target only when every byte of it was taken.
bool writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write);
bool saveFileSafely(const QString& path, const QByteArray& bytes);
bool saveFileSafely(const std::string& path, const std::string& bytes);
// The picture in the format its extension names (PNG when it names none).
bool savePictureSafely(const QImage& picture, const QString& path);
