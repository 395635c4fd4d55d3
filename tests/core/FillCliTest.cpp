// kalvex-cli fill, run as a separate process on the bundled bird pictures:
// kept placements, a refined distance no larger than the placed one, the
// files it names, and one error line for bad usage.

#ifdef KALVEX_CLI_PATH

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ExampleFillCli, FillsTheBirdsAndRefinesTowardsTheSurface)
{
    const QString birds = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/");
    const QStringList pictures{birds + "bird1.png", birds + "bird2.png", birds + "bird3.png"};
    QTemporaryDir dir;
    QProcess cli;
    cli.start(QStringLiteral(KALVEX_CLI_PATH),
              QStringList{"fill", "--cell-size", "10", "--seed", "3", "--out", dir.path()} + pictures);
    ASSERT_TRUE(cli.waitForFinished(600000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QJsonObject json = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    const int kept = json["kept"].toInt();
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, json["placements"].toInt());
    const QJsonObject distance = json["mean_sq_distance"].toObject();
    EXPECT_LE(distance["refined"].toDouble(), distance["placed"].toDouble());
    EXPECT_TRUE(QFile::exists(dir.filePath("sculpture.obj")));
    EXPECT_TRUE(QFile::exists(dir.filePath("current_scene_mesh.pov")));
    EXPECT_EQ(QDir(dir.filePath("exampleBasedResults")).entryList(QDir::Files).size(), kept);

    cli.start(QStringLiteral(KALVEX_CLI_PATH), QStringList{"fill", "--refine", "many"} + pictures);
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 2);
    EXPECT_EQ(cli.readAllStandardError().count('\n'), 1);
}

#endif
