#pragma once
// The recovery copy: after every step that changes the design the window
// hands a snapshot of it to a background writer, which keeps the last one on
// disk (the volume as a scene file, the pictures as shown, the deformable
// pictures and a record of the stage). A normal end of the program removes
// it; at the next start a copy still there means the program did not end
// normally, and the design can be brought back.
//
// A copy is a folder "snapshot-N" beside a manifest that names it. The
// manifest is written last and replaced whole, so a copy interrupted
// half-way leaves the last complete one in force.
//
// One window at a time keeps the copy: the writer holds a lock file beside
// the folder for as long as it lives. A second window open at the same time
// finds it held and neither offers the copy (it is the first window's live
// design) nor writes into it. A lock left by a process that died is stale
// and taken over.

#include "files/SceneFiles.h"
#include "session/DesignSession.h"
#include "surface/Result.h"
#include "surface/TriMesh.h"

#include <QJsonObject>
#include <QLockFile>
#include <QString>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>


struct DesignSnapshot {
    // The volume: cell size, view modes and one byte per cell (x, y, z order).
    float cellSize = 0.0f;
    std::vector<std::int32_t> viewModes;
    int resolution = 0;
    std::vector<std::uint8_t> occupancy;
    // The pictures as the window shows them (loaded, then deformed).
    ScenePictures pictures;
    // The deformable pictures, when the design has them.
    std::optional<std::array<PictureState, 3>> deformed;
    // What the window needs to show the same stage again; the design's own
    // facts (projection set, picture files, placements) are added to it.
    QJsonObject record;
};

// A snapshot of the session's design (on the calling thread; cheap next to
// writing it). Without a volume there is nothing to recover: nullopt.
std::optional<DesignSnapshot> snapshotOf(const DesignSession& session, const ScenePictures& pictures,
                                         const QJsonObject& stage);

// The recovery folder: the user's data folder + "/recovery".
QString recoveryFolder();

class RecoveryWriter {
public:
    explicit RecoveryWriter(QString folder = recoveryFolder());
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // Replaces the snapshot waiting to be written; the writer thread writes
    // the latest one it finds.
    void submit(DesignSnapshot snapshot);
    // Blocks until every snapshot submitted so far is on disk; the last
    // write's problem, if any.
    Result<void> flush();
    // Drops what is waiting and removes the copy from disk (a normal end).
    void discard();
    const QString& folder() const { return _folder; }
    // Whether this writer keeps the copy: false while another window holds
    // it, and then submit and discard leave the folder alone.
    bool keepsCopy() const { return _keeps_copy; }

private:
    void run();

    QString _folder;
    QLockFile _lock;
    bool _keeps_copy = true;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::condition_variable _idle;
    std::optional<DesignSnapshot> _pending;
    bool _writing = false;
    bool _stop = false;
    int _next = 0;
    QString _last_error;
    std::thread _thread;
};

// Whether a copy is there to offer.
bool recoveryExists(const QString& folder = recoveryFolder());

// Reads the copy back; a damaged copy fails with one line.
Result<DesignSnapshot> readRecovery(const QString& folder = recoveryFolder());

// Writes a snapshot into `folder` now (the writer thread's work).
Result<void> writeRecovery(const DesignSnapshot& snapshot, const QString& folder, int number);

// Removes the copy (and anything half-written beside it).
void removeRecovery(const QString& folder = recoveryFolder());

// Brings the design back into the session: the pictures with their
// deformation and the views made from them when the picture files are still
// there, else the volume alone; the volume's cells exactly as they were. The
// line says which.
Report restoreDesign(DesignSession& session, const DesignSnapshot& snapshot);
