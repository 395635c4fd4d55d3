#include "files/SceneFiles.h"

#include "session/DesignSession.h"

#include "surface/SafeFile.h"
#include "volume/SceneFile.h"

#include <QFile>

namespace {

const char* const kCompanions[6] = {"_origx.png", "_origy.png", "_origz.png", "_imgx.png", "_imgy.png", "_imgz.png"};
const char* const kPlacements = "_placement.txt";

}  // namespace

QString sceneBase(const QString& path)
{
    QStringList pieces = path.split(QLatin1Char('.'));
    if (pieces.size() > 1)
        pieces.removeLast();
    return pieces.join(QLatin1Char('.'));
}

Report saveScene(const DesignSession& session, const QString& path, const ScenePictures& pictures)
{
    const ShadowObject* volume = session.volume().master();
    if (!volume)
        return fail(QStringLiteral("No volume to save."));
    if (const Report written = writeSceneFiles(path, sceneOf(*volume, volume->cellSize(), volume->viewModes()), pictures);
        !written.ok())
        return written;
    const QString placements = sceneBase(path) + QLatin1String(kPlacements);
    if (!saveFileSafely(placements, placementsText(session.pictures().placements()).toUtf8()))
        return fail(QStringLiteral("Cannot write %1.").arg(placements));
    return StatusLine{QStringLiteral("Saved") + path + QStringLiteral(".")};
}

Report writeSceneFiles(const QString& path, const SceneData& scene, const ScenePictures& pictures)
{
    if (!writeFileSafely(path, [&](QIODevice& file) { return writeScene(file, scene); }))
        return fail(QStringLiteral("Cannot write %1.").arg(path));
    const QString base = sceneBase(path);
    for (int k = 0; k < 6; ++k) {
        const QImage& picture = pictures[std::size_t(k)];
        const QString companion = base + QLatin1String(kCompanions[k]);
        if (!picture.isNull() && !savePictureSafely(picture, companion))
            return fail(QStringLiteral("Cannot write %1.").arg(companion));
    }
    return StatusLine{};
}

ScenePictures readScenePictures(const QString& path)
{
    ScenePictures pictures;
    const QString base = sceneBase(path);
    for (int k = 0; k < 6; ++k)
        pictures[std::size_t(k)] = QImage(base + QLatin1String(kCompanions[k]));
    return pictures;
}

Report openScene(DesignSession& session, const QString& path, ScenePictures* pictures)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read scene file %1.").arg(path));
    auto volume = std::make_unique<ShadowObject>();
    if (const Result<void> read = volume->readScene(file); !read.ok())
        return fail(read.error());
    DesignSession::Placements placements{};
    QFile placementFile(sceneBase(path) + QLatin1String(kPlacements));
    if (placementFile.exists()) {
        if (!placementFile.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Cannot read %1.").arg(placementFile.fileName()));
        const auto read = parsePlacements(QString::fromUtf8(placementFile.readAll()));
        if (!read.ok())
            return fail(QStringLiteral("%1: %2").arg(placementFile.fileName(), read.error()));
        placements = read.value();
    }
    session.adoptVolume(std::move(volume));
    session.pictures().restorePlacements(placements);
    if (pictures)
        *pictures = readScenePictures(path);
    return StatusLine{QStringLiteral("Images loaded.")};
}
