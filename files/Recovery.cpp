#include "files/Recovery.h"

#include "session/DesignSession.h"
#include "surface/SafeFile.h"
#include "volume/SceneFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <sstream>

namespace {

const char* const kManifest = "manifest.json";
const char* const kScene = "design.kxscene";

QString picturePath(const QString& folder, int k, const char* suffix)
{
    return folder + QStringLiteral("/picture%1%2").arg(k).arg(QLatin1String(suffix));
}

SceneData sceneData(const DesignSnapshot& snapshot)
{
    SceneData scene;
    scene.cellSize = snapshot.cellSize;
    scene.viewModes = snapshot.viewModes;
    scene.size = {snapshot.resolution, snapshot.resolution, snapshot.resolution};
    scene.occupancy = snapshot.occupancy;
    return scene;
}

QString weightsText(const std::vector<float>& weights)
{
    std::ostringstream out;
    for (float w : weights)
        out << w << '\n';
    return QString::fromStdString(out.str());
}

Result<std::vector<float>> readWeights(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1.").arg(path));
    std::vector<float> weights;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        bool ok = false;
        const float w = line.trimmed().toFloat(&ok);
        if (!ok)
            return fail(QStringLiteral("%1 holds something other than numbers.").arg(path));
        weights.push_back(w);
    }
    return weights;
}

}  // namespace

QString recoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/recovery");
}

std::optional<DesignSnapshot> snapshotOf(const DesignSession& session, const ScenePictures& pictures,
                                         const QJsonObject& stage)
{
    const ShadowObject* volume = session.volume().master();
    if (!volume)
        return std::nullopt;
    const SceneData scene = sceneOf(*volume, volume->cellSize(), volume->viewModes());
    DesignSnapshot snapshot;
    snapshot.cellSize = scene.cellSize;
    snapshot.viewModes = scene.viewModes;
    snapshot.resolution = scene.size[0];
    snapshot.occupancy = scene.occupancy;
    snapshot.pictures = pictures;
    snapshot.record = stage;
    QJsonObject design;
    design[QStringLiteral("set")] = session.pictures().projectionSet();
    if (session.pictures().picturesDeform()) {
        QJsonArray files;
        std::array<PictureState, 3> deformed;
        for (int k = 0; k < 3; ++k) {
            files.append(session.pictures().picturePath(k));
            const DeformationModel& picture = session.pictures().picture(k);
            deformed[std::size_t(k)] = {picture.image_mesh(), picture.rest_positions(), picture.vertex_weights()};
        }
        design[QStringLiteral("pictures")] = files;
        design[QStringLiteral("placements")] = placementsText(session.pictures().placements());
        design[QStringLiteral("threshold")] = session.pictures().choice().threshold;
        snapshot.deformed = std::move(deformed);
    }
    snapshot.record[QStringLiteral("design")] = design;
    return snapshot;
}

// ---- writing -------------------------------------------------------------------------------

Result<void> writeRecovery(const DesignSnapshot& snapshot, const QString& folder, int number)
{
    const QString name = QStringLiteral("snapshot-%1").arg(number);
    const QString copy = folder + QLatin1Char('/') + name;
    QDir(copy).removeRecursively();
    if (!QDir().mkpath(copy))
        return fail(QStringLiteral("Cannot create folder %1.").arg(copy));
    if (const Report written = writeSceneFiles(copy + QLatin1Char('/') + QLatin1String(kScene), sceneData(snapshot),
                                               snapshot.pictures);
        !written.ok())
        return fail(written.error());
    if (snapshot.deformed) {
        for (int k = 0; k < 3; ++k) {
            const PictureState& state = (*snapshot.deformed)[std::size_t(k)];
            TriMesh rest = state.mesh;
            rest.vertices = state.rest;
            const QString mesh = picturePath(copy, k, ".obj");
            const QString restMesh = picturePath(copy, k, "_rest.obj");
            const QString weights = picturePath(copy, k, "_weights.txt");
            if (!state.mesh.write(QFile::encodeName(mesh).constData()) ||
                !rest.write(QFile::encodeName(restMesh).constData()) ||
                !saveFileSafely(weights, weightsText(state.weights).toUtf8()))
                return fail(QStringLiteral("Cannot write the pictures of the recovery copy in %1.").arg(copy));
        }
    }
    QJsonObject manifest = snapshot.record;
    manifest[QStringLiteral("snapshot")] = name;
    manifest[QStringLiteral("deformed")] = snapshot.deformed.has_value();
    const QString manifestPath = folder + QLatin1Char('/') + QLatin1String(kManifest);
    if (!saveFileSafely(manifestPath, QJsonDocument(manifest).toJson()))
        return fail(QStringLiteral("Cannot write %1.").arg(manifestPath));
    // The manifest names the new copy: the older ones can go.
    for (const QString& old : QDir(folder).entryList({QStringLiteral("snapshot-*")}, QDir::Dirs))
        if (old != name)
            QDir(folder + QLatin1Char('/') + old).removeRecursively();
    return {};
}

RecoveryWriter::RecoveryWriter(QString folder) : _folder(std::move(folder)), _lock(_folder + QStringLiteral(".lock"))
{
    // Held for the writer's whole life, so no age makes it stale; only a
    // holder that is no longer running does.
    _lock.setStaleLockTime(0);
    QDir().mkpath(QFileInfo(_folder).absolutePath());
    // Only a lock held by another process keeps this writer out: where no
    // lock can be made at all (an unwritable data folder) the writes report
    // their own failure.
    _keeps_copy = _lock.tryLock(0) || _lock.error() != QLockFile::LockFailedError;
    _thread = std::thread([this] { run(); });
}

RecoveryWriter::~RecoveryWriter()
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stop = true;
    }
    _wake.notify_all();
    _thread.join();
}

void RecoveryWriter::submit(DesignSnapshot snapshot)
{
    if (!_keeps_copy)
        return;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _pending = std::move(snapshot);
    }
    _wake.notify_all();
}

Result<void> RecoveryWriter::flush()
{
    std::unique_lock<std::mutex> lock(_mutex);
    _idle.wait(lock, [this] { return !_pending && !_writing; });
    if (!_last_error.isEmpty())
        return fail(_last_error);
    return {};
}

void RecoveryWriter::discard()
{
    std::unique_lock<std::mutex> lock(_mutex);
    _pending.reset();
    _idle.wait(lock, [this] { return !_writing; });
    if (_keeps_copy)
        removeRecovery(_folder);
}

void RecoveryWriter::run()
{
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _wake.wait(lock, [this] { return _stop || _pending; });
        if (_stop)
            return;
        DesignSnapshot snapshot = std::move(*_pending);
        _pending.reset();
        _writing = true;
        const int number = _next++;
        lock.unlock();
        const Result<void> written = writeRecovery(snapshot, _folder, number);
        lock.lock();
        _last_error = written.ok() ? QString() : written.error();
        _writing = false;
        _idle.notify_all();
    }
}

// ---- reading -------------------------------------------------------------------------------

bool recoveryExists(const QString& folder)
{
    return QFile::exists(folder + QLatin1Char('/') + QLatin1String(kManifest));
}

void removeRecovery(const QString& folder)
{
    QDir(folder).removeRecursively();
}

Result<DesignSnapshot> readRecovery(const QString& folder)
{
    QFile manifestFile(folder + QLatin1Char('/') + QLatin1String(kManifest));
    if (!manifestFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("There is no recovery copy in %1.").arg(folder));
    const QJsonDocument document = QJsonDocument::fromJson(manifestFile.readAll());
    if (!document.isObject())
        return fail(QStringLiteral("The recovery copy's manifest is damaged."));
    DesignSnapshot snapshot;
    snapshot.record = document.object();
    const QString name = snapshot.record.value(QStringLiteral("snapshot")).toString();
    if (!name.startsWith(QLatin1String("snapshot-")) || name.contains(QLatin1Char('/')))
        return fail(QStringLiteral("The recovery copy's manifest names no copy."));
    const QString copy = folder + QLatin1Char('/') + name;
    const QString scenePath = copy + QLatin1Char('/') + QLatin1String(kScene);
    QFile sceneFile(scenePath);
    if (!sceneFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The recovery copy has no volume."));
    const Result<SceneData> scene = readScene(sceneFile);
    if (!scene.ok())
        return fail(QStringLiteral("The recovery copy's volume is damaged: %1").arg(scene.error()));
    const SceneData& data = scene.value();
    if (data.size[0] != data.size[1] || data.size[1] != data.size[2])
        return fail(QStringLiteral("The recovery copy's volume is not a cube."));
    snapshot.cellSize = data.cellSize;
    snapshot.viewModes = data.viewModes;
    snapshot.resolution = data.size[0];
    snapshot.occupancy = data.occupancy;
    snapshot.pictures = readScenePictures(scenePath);
    if (snapshot.record.value(QStringLiteral("deformed")).toBool()) {
        std::array<PictureState, 3> deformed;
        for (int k = 0; k < 3; ++k) {
            const std::unique_ptr<TriMesh> mesh(TriMesh::read(QFile::encodeName(picturePath(copy, k, ".obj"))));
            const std::unique_ptr<TriMesh> rest(TriMesh::read(QFile::encodeName(picturePath(copy, k, "_rest.obj"))));
            const Result<std::vector<float>> weights = readWeights(picturePath(copy, k, "_weights.txt"));
            if (!mesh || !rest || !weights.ok() || rest->vertices.size() != mesh->vertices.size() ||
                weights.value().size() != mesh->vertices.size())
                return fail(QStringLiteral("The recovery copy's pictures are damaged."));
            deformed[std::size_t(k)] = {*mesh, rest->vertices, weights.value()};
        }
        snapshot.deformed = std::move(deformed);
    }
    return snapshot;
}

Report restoreDesign(DesignSession& session, const DesignSnapshot& snapshot)
{
    const QJsonObject design = snapshot.record.value(QStringLiteral("design")).toObject();
    const QJsonArray files = design.value(QStringLiteral("pictures")).toArray();
    if (snapshot.deformed && files.size() == 3) {
        DesignSession::PictureChoice choice;
        choice.set = design.value(QStringLiteral("set")).toInt();
        choice.paths = {files[0].toString(), files[1].toString(), files[2].toString()};
        choice.cellSize = snapshot.cellSize;
        choice.threshold = design.value(QStringLiteral("threshold")).toInt(-1);
        if (const auto placements = parsePlacements(design.value(QStringLiteral("placements")).toString());
            placements.ok())
            choice.placements = placements.value();
        const Report restored = session.restore(choice, *snapshot.deformed, snapshot.occupancy);
        if (restored.ok())
            return restored;
    }
    // The pictures are gone (or there were none): the volume alone.
    auto volume = std::make_unique<ShadowObject>();
    SceneData scene = sceneData(snapshot);
    const Result<void> adopted = volume->adoptScene(scene);
    if (!adopted.ok())
        return fail(adopted.error());
    session.adoptVolume(std::move(volume));
    return StatusLine{QStringLiteral("Restored the volume of the last session (its pictures are gone).")};
}
