// kalvex-cli fill, run as a separate process on the bundled bird pictures:
// kept placements, a refined distance no larger than the placed one, the
// files it names, and one error line for bad usage.

#ifdef KALVEX_CLI_PATH

#include "CliTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

#endif
