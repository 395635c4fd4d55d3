// Scene files: the exact byte layout, a round trip through a volume, and
// corrupt files, each refused with one line and nothing changed.

#include "CliTestSupport.h"
#include "VolumeTestSupport.h"

#include "volume/SceneFile.h"
#include "volume/VolumeContouring.h"

#include <QBuffer>
#include <QDataStream>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace volume_test;

namespace {

QByteArray header(float cellSize, std::vector<std::int32_t> modes, std::int32_t extent = 250)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << cellSize << extent << extent << extent << static_cast<std::int32_t>(modes.size());
    for (std::int32_t m : modes)
        out << m;
    return bytes;
}

QString readError(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ShadowObject volume = emptyMaster(25.0f, {X_PROJECTION, -1, -1});
    volume.setOccupied({1, 2, 3}, true);
    const QString error = volume.readScene(buffer).error();
    if (!error.isEmpty()) {
        EXPECT_TRUE(volume.isOccupied({1, 2, 3})) << "a refused file changed the volume";
    }
    return error;
}

TEST(SceneFile, LayoutAndRoundTrip)
{
    ShadowObject volume = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});  // N = 10
    volume.setOccupied({0, 0, 1}, true);
    volume.setOccupied({9, 8, 7}, true);
    volume.cellFlags(9, 8, 7) = CellFlags::GreedyAdded;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(volume.writeScene(buffer));
    const QByteArray bytes = buffer.data();
    ASSERT_EQ(bytes.size(), 4 + 12 + 4 + 12 + 1000);
    EXPECT_EQ(bytes.left(32), header(25.0f, {0, 1, 2}));
    EXPECT_EQ(bytes[32 + 1], 1);                      // cell (0, 0, 1): z fastest
    EXPECT_EQ(bytes[32 + (9 * 10 + 8) * 10 + 7], 1);  // cell (9, 8, 7)
    EXPECT_EQ(bytes.mid(32).count('\x01'), 2);

    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    ShadowObject read;
    ASSERT_TRUE(read.readScene(buffer).ok());
    EXPECT_EQ(read.cellSize(), 25.0f);
    EXPECT_EQ(read.resolution(), 10);
    EXPECT_EQ(read.viewModes(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(countOccupiedCells(read), 2);
    EXPECT_TRUE(read.isOccupied({9, 8, 7}));
    EXPECT_EQ(read.cellAt(9, 8, 7).flags, 0);
    EXPECT_TRUE(read.areShadowsStillValid(true, true));  // the shadows of the read occupancy are recorded
    EXPECT_FALSE(read.isCellRemovable({9, 8, 7}));
}

TEST(SceneFile, CorruptFilesAreRefusedWithOneLine)
{
    const QByteArray cells(1000, '\0');
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"header cut short", header(25.0f, {0, 1, 2}).left(10)},
        {"cell size NaN", header(std::numeric_limits<float>::quiet_NaN(), {0, 1, 2}) + cells},
        {"cell size infinite", header(std::numeric_limits<float>::infinity(), {0, 1, 2}) + cells},
        {"cell size zero", header(0.0f, {0, 1, 2}) + cells},
        {"cell size negative", header(-5.0f, {0, 1, 2}) + cells},
        {"grid absurd", header(0.001f, {0, 1, 2}) + cells},
        {"extent negative", header(25.0f, {0, 1, 2}, -250) + cells},
        {"view count negative", header(25.0f, {}).left(16) + QByteArray("\xff\xff\xff\xff", 4) + cells},
        {"view count huge", header(25.0f, {}).left(16) + QByteArray("\x7f\xff\xff\xff", 4) + cells},
        {"unknown view mode", header(25.0f, {0, 9, 2}) + cells},
        {"modes cut short", header(25.0f, {0, 1, 2}).left(24)},
        {"cells missing", header(25.0f, {0, 1, 2}) + cells.left(999)},
        {"bytes left over", header(25.0f, {0, 1, 2}) + cells + QByteArray(1, '\0')},
    };
    for (const auto& c : cases) {
        const QString error = readError(c.bytes);
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_FALSE(error.contains('\n')) << c.what;
    }
    EXPECT_EQ(readError(header(25.0f, {0, 1, 2}) + cells), QString());
}

// kalvex-cli contour on a scene file: the mesh written is the contouring of
// the scene's occupancy, vertex for vertex and triangle for triangle; no
// triangle writes no file; bad input is one line and exit code 2.
TEST(SceneFile, ContourCommandOnAScene)
{
    QTemporaryDir dir;
    ShadowObject volume = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    for (const CellIndex c : {CellIndex{2, 3, 4}, CellIndex{3, 3, 4}, CellIndex{3, 4, 4}, CellIndex{7, 7, 1}})
        volume.setOccupied(c, true);
    auto writeTo = [&](ShadowObject& v, const QString& name) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && v.writeScene(file));
        return file.fileName();
    };
    const QString scene = writeTo(volume, QStringLiteral("v.kxscene"));
    const QString obj = dir.filePath("v.obj");
    CliRun run = runCli({"contour", "--scene", scene, "--mode", "2", "--factor", "2", "--iso", "0.6", "--out", obj});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    TriMesh expected;
    ASSERT_TRUE(contourVolume(volume, 0.6f, 2, expected, 2));
    EXPECT_EQ(json["resolution"].toInt(), 10);
    EXPECT_EQ(json["cells"].toInt(), 4);
    EXPECT_EQ(json["vertices"].toInt(), int(expected.vertices.size()));
    EXPECT_EQ(json["faces"].toInt(), int(expected.faces.size()));
    const std::unique_ptr<TriMesh> written(TriMesh::read(obj.toLocal8Bit().constData()));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->faces, expected.faces);
    ASSERT_EQ(written->vertices.size(), expected.vertices.size());
    for (std::size_t i = 0; i < expected.vertices.size(); ++i)
        EXPECT_LT(dist2(written->vertices[i], expected.vertices[i]), 1e-12f) << i;

    ShadowObject empty = emptyMaster(25.0f, {0, 1, 2});
    const QString nothing = dir.filePath("nothing.obj");
    run = runCli({"contour", "--scene", writeTo(empty, QStringLiteral("e.kxscene")), "--out", nothing});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object()["faces"].toInt(-1), 0);
    EXPECT_FALSE(QFile::exists(nothing));

    QFile corrupt(dir.filePath("c.kxscene"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly) && corrupt.write("short") > 0);
    corrupt.close();
    for (const QStringList& bad : {QStringList{"contour", "--scene", corrupt.fileName(), "--out", obj},
                                   QStringList{"contour", "--scene", scene, "--mode", "5", "--out", obj},
                                   QStringList{"contour", "--scene", scene}}) {
        run = runCli(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

}  // namespace
