// kalvex-cli fill, run as a separate process on the bundled bird pictures:
// kept placements, a refined distance no larger than the placed one, the
// files it names, one error line for bad usage, and the same numbers as the
// window's steps on a session in this process.

#ifdef KALVEX_CLI_PATH

#include "CliTestSupport.h"

#include "session/DesignSession.h"
#include "session/Filling.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ExampleFillCli, FillsTheBirdsAndRefinesTowardsTheSurface)
{
    const QString birds = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/");
    const QStringList pictures{birds + "bird1.png", birds + "bird2.png", birds + "bird3.png"};
    QTemporaryDir dir;
    CliRun run = runCli(QStringList{"fill", "--cell-size", "10", "--seed", "3", "--out", dir.path()} + pictures);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    const int kept = json["kept"].toInt();
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, json["placements"].toInt());
    const QJsonObject distance = json["mean_sq_distance"].toObject();
    EXPECT_LE(distance["refined"].toDouble(), distance["placed"].toDouble());
    EXPECT_TRUE(QFile::exists(dir.filePath("sculpture.obj")));
    EXPECT_TRUE(QFile::exists(dir.filePath("current_scene_mesh.pov")));
    EXPECT_EQ(QDir(dir.filePath("exampleBasedResults")).entryList(QDir::Files).size(), kept);

    run = runCli(QStringList{"fill", "--refine", "many"} + pictures);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.count('\n'), 1);
}

// The window's steps ("generate", "done with this stage ...", filling, "ICP
// refine") on a session here: deformable pictures as the window loads them
// (copied, since a deformable picture leaves its mesh beside the file), the
// same seed before the pictures are loaded. The CLI prints 7 digits.
TEST(ExampleFillCli, GivesTheNumbersOfTheWindowsSteps)
{
    QTemporaryDir dir;
    QStringList pictures;
    for (const char* name : {"bird1.png", "bird2.png", "bird3.png"}) {
        pictures << dir.filePath(QLatin1String(name));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/") + QLatin1String(name),
                                pictures.back()));
    }
    const CliRun run = runCli(QStringList{"fill", "--cell-size", "10", "--seed", "5"} + pictures);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();

    std::srand(5);
    DesignSession session;
    DesignSession::PictureChoice choice;
    choice.paths = {pictures[0], pictures[1], pictures[2]};
    choice.cellSize = 10.0f;
    ASSERT_TRUE(session.load(choice).ok());
    ASSERT_TRUE(session.compute().ok());
    const QString models = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/example_based_models");
    Filling& filling = session.filling();
    ASSERT_TRUE(filling.loadModels(models).ok());
    ASSERT_TRUE(filling.fill(models).ok());
    const double placed = filling.meanSquaredDistance();
    ASSERT_TRUE(filling.refine().ok());

    EXPECT_EQ(json["cells"].toInt(), session.volume().counts().cells);
    EXPECT_EQ(json["placements"].toInt(), filling.placementCount());
    EXPECT_EQ(json["kept"].toInt(), filling.keptCount());
    EXPECT_GT(filling.keptCount(), 0);
    EXPECT_EQ(json["vertices"].toInt(), int(filling.sculpture()->vertices.size()));
    EXPECT_EQ(json["faces"].toInt(), int(filling.sculpture()->faces.size()));
    const QJsonObject distance = json["mean_sq_distance"].toObject();
    EXPECT_NEAR(distance["placed"].toDouble(), placed, 1e-6 * placed);
    EXPECT_NEAR(distance["refined"].toDouble(), filling.meanSquaredDistance(), 1e-6 * placed);
}

#endif
