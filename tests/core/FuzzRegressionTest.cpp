// Inputs a fuzz harness once failed on (fuzz/regressions/<harness>/) go
// through the same checks again in every test run.
#include "../../fuzz/FuzzChecks.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(FuzzRegressions, PassTheirHarnessesChecks)
{
    const struct {
        const char* harness;
        bool (*check)(const std::uint8_t*, std::size_t);
    } harnesses[] = {
        {"scenereader", fuzz_checks::sceneReader},
        {"meshreader", fuzz_checks::meshReader},
        {"picturemesher", fuzz_checks::pictureMesher},
        {"picturefigure", fuzz_checks::pictureFigure},
    };
    for (const auto& h : harnesses) {
        const QDir dir(QStringLiteral(KALVEX_SOURCE_DIR "/fuzz/regressions/") + QLatin1String(h.harness));
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            const QByteArray bytes = file.readAll();
            EXPECT_TRUE(h.check(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())))
                << h.harness << "/" << name.toStdString();
        }
    }
}
