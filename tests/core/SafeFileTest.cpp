// Files written whole or not at all: a write that fails half-way (the file
// size limit reached, as on a full disk) or into a folder that refuses it
// leaves the old file as it was, and the step says so in one line.

#include "files/SceneFiles.h"
#include "session/DesignSession.h"
#include "surface/SafeFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes beyond `bytes` fail while it lives (EFBIG instead of a signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &_old);
        _handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = _old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &_old);
        std::signal(SIGXFSZ, _handler);
    }

private:
    rlimit _old{};
    void (*_handler)(int) = nullptr;
};

}  // namespace

TEST(SafeFile, AWriteThatFailsLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.bin");
    ASSERT_TRUE(saveFileSafely(path, QByteArray("old contents")));
    {
        const FileSizeLimit limit(64);
        EXPECT_FALSE(saveFileSafely(path, QByteArray(4096, 'x')));
    }
    EXPECT_EQ(contents(path), QByteArray("old contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.bin"});  // no temporary left
    EXPECT_TRUE(saveFileSafely(path, QByteArray("new")));
    EXPECT_EQ(contents(path), QByteArray("new"));
}

TEST(SafeFile, ASceneSaveThatFailsSaysSoAndKeepsTheOldScene)
{
    DesignSession session;
    const QString birds = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png");
    ASSERT_TRUE(session
                    .load({.paths = {birds.arg(1), birds.arg(2), birds.arg(3)},
                           .cellSize = 10.0f,
                           .how = DesignSession::Pictures::Plain})
                    .ok());
    ASSERT_TRUE(session.compute().ok());
    QTemporaryDir dir;
    const QString path = dir.filePath("design.kxscene");
    ASSERT_TRUE(saveFileSafely(path, QByteArray("an older scene")));
    {
        const FileSizeLimit limit(100);  // the scene holds 25^3 cells
        const Report saved = saveScene(session, path, {});
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.error(), QStringLiteral("Cannot write %1.").arg(path));
    }
    EXPECT_EQ(contents(path), QByteArray("an older scene"));

    // A folder that refuses files (only for a user the permissions bind).
    if (geteuid() != 0) {
        const QString locked = dir.filePath("locked");
        ASSERT_TRUE(QDir().mkpath(locked));
        const QString scene = locked + QStringLiteral("/design.kxscene");
        ASSERT_TRUE(saveFileSafely(scene, QByteArray("old")));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(saveScene(session, scene, {}).ok());
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(contents(scene), QByteArray("old"));
    }
}
