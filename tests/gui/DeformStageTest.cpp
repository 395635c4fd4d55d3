// The main window's deformation stage with real clicks: "optimize" (and the
// same passes from kalvex-cli) and the resolution increase. What the steps
// compute is the session's and is tested there; these tests check what the
// window shows.

#include <cmath>
#include "WindowTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace gui_test;

class DeformStageTest : public WindowTestCase {
    Q_OBJECT

    // The session's counts as kalvex-cli prints them.
    QJsonObject countsJson() const
    {
        const DesignVolume::Counts& c = _window->session().volume().counts();
        const KeptValues kept = _window->session().kept();
        QJsonArray keptArray;
        for (double k : kept)
            keptArray.append(std::round(k * 1e4) / 1e4);
        return {{"cells", c.cells},
                {"kept", keptArray},
                {"missing", QJsonArray{c.missing[0], c.missing[1], c.missing[2]}},
                {"extra", QJsonArray{c.extra[0], c.extra[1], c.extra[2]}}};
    }

private slots:
    // "optimize" runs its passes and refreshes the counts; "increase
    // resolution" then steps down one coarseness level per press, to level 1.
    void optimizeAndIncreaseResolution()
    {
        const KalvexForm& f = form();
        f.spn_simple_res->setValue(5);
        generate(QStringLiteral("birds"));
        f.simple_iterateCount->setValue(2);
        click(f.btn_simple_deform_iterate);
        QVERIFY(f.simple_progressBar->isHidden());
        QCOMPARE(_window->session().counts().optimizePasses, 2);
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));
        QCOMPARE(f.projectionCells->text(), QStringLiteral("cells: %1").arg(cellCount()));
        QCOMPARE(status(), QStringLiteral("Optimized images."));
        QVERIFY(!f.preserve_shape_check->isChecked());  // copied from the workflow's "preserve shape"

        click(f.btn_simple_increase_res);
        QCOMPARE(f.spn_simple_res->value(), 4);
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        for (int level = 3; level >= 1; --level) {
            click(f.btn_simple_increase_res);
            QCOMPARE(f.spn_simple_res->value(), level);
        }
        QCOMPARE(_window->master()->resolution(), 250);  // the pictures' own resolution
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        const ShadowObject* finest = _window->master();
        click(f.btn_simple_increase_res);  // level 1 is the finest: nothing happens
        QCOMPARE(f.spn_simple_res->value(), 1);
        QCOMPARE(_window->master(), finest);
    }

    // One pass at a time through the window and all passes through kalvex-cli
    // on copies of the same pictures (each with no picture-mesh cache yet):
    // the same cells and missing and extra pixels after every pass.
    void windowAndCommandLineOptimizeAlike()
    {
        const QString folder = QStringLiteral("./IncludedData/dragon-copy");
        QVERIFY(QDir().mkpath(folder));
        QStringList pictures;
        for (const char* name : {"eagle.png", "griffin.png", "lion.png"}) {
            pictures << folder + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QFile::copy(QStringLiteral("./IncludedData/griffin/") + QLatin1String(name), pictures.back()));
        }
        QProcess cli;
        cli.start(QStringLiteral(KALVEX_CLI_PATH),
                  QStringList{"optimize", "--set", "1", "--cell-size", "4", "--passes", "3"} + pictures);
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        const QJsonObject expected = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        QCOMPARE(expected["passes"].toArray().size(), 3);

        form().spn_simple_res->setValue(4);
        generate(QStringLiteral("griffin"));  // ./IncludedData/griffin, set 1
        QCOMPARE(countsJson(), expected["initial"].toObject());
        form().simple_iterateCount->setValue(1);
        for (int pass = 0; pass < 3; ++pass) {
            click(form().btn_simple_deform_iterate);
            QJsonObject cliPass = expected["passes"].toArray()[pass].toObject();
            cliPass.remove(QStringLiteral("ms"));
            QCOMPARE(countsJson(), cliPass);
        }
    }
};

QTEST_MAIN(DeformStageTest)
#include "DeformStageTest.moc"
