// "export for printing ..." from the window: every preset gives an STL that
// admesh finds whole and prusa-slicer slices, at the size asked for.

#include "WindowTestSupport.h"

#include "surface/PrintableMesh.h"

#include <QInputDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace gui_test;

namespace {

QString run(const QString& program, const QStringList& args, int* exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    process.waitForFinished(300000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

int admeshFigure(const QString& report, const QString& name)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QRegularExpression::escape(name) + QStringLiteral("\\s*:\\s*(\\d+)")).match(report);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

}  // namespace

class ExportTest : public WindowTestCase {
    Q_OBJECT

private slots:
    // The button asks for a file and a size; the STL and the scene land there.
    void exportThroughItsDialogs()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("birds"));
        answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.btn_readyToEdit); });
        QVERIFY(f.btn_simple_export_print->isEnabled());
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("print/birds"));
        QVERIFY(QDir().mkpath(QStringLiteral("print")));
        QTimer sizeAnswer;
        connect(&sizeAnswer, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                dialog->setDoubleValue(80.0);
                dialog->accept();
            }
        });
        sizeAnswer.start(20);
        answerFileDialog(path, [&] { click(f.btn_simple_export_print); });
        QVERIFY2(status().startsWith(QStringLiteral("Wrote ") + path + QStringLiteral(".stl")), qPrintable(status()));
        const std::unique_ptr<TriMesh> stl(readBinaryStl((path + QStringLiteral(".stl")).toStdString()));
        QVERIFY(stl);
        stl->need_bbox();
        const point size = stl->bbox.size();
        QVERIFY(std::fabs(std::max({size[0], size[1], size[2]}) - 80.0f) < 1e-3f);
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".kxscene")));
        QVERIFY(QFileInfo::exists(path + QStringLiteral("_origx.png")));
    }

    // After a filling the export offers the example sculpture: its models
    // overlap, and the line says so instead of calling it one part.
    void exampleSculptureExports()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.btn_readyToEdit); });
        answerMessageBoxes(QStringLiteral("Yes"), [&] { click(f.btn_simple_fill_example_based); });
        QVERIFY(!f.btn_simple_fill_example_based->isEnabled() && f.btn_simple_export_print->isEnabled());
        QTimer answers;
        connect(&answers, &QTimer::timeout, [] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (dialog->inputMode() == QInputDialog::TextInput)
                dialog->setTextValue(dialog->comboBoxItems().value(1));
            else
                dialog->setDoubleValue(60.0);
            dialog->accept();
        });
        answers.start(20);
        QVERIFY(QDir().mkpath(QStringLiteral("print")));
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("print/models.stl"));
        answerFileDialog(path, [&] { click(f.btn_simple_export_print); });
        QVERIFY2(status().startsWith(QStringLiteral("Wrote ") + path + QStringLiteral(": the example sculpture")),
                 qPrintable(status()));
        const std::unique_ptr<TriMesh> stl(readBinaryStl(path.toStdString()));
        QVERIFY(stl);
        QCOMPARE(stl->faces.size(), _window->session().exampleSculpture()->faces.size());
        stl->need_bbox();
        const point size = stl->bbox.size();
        QVERIFY(std::fabs(std::max({size[0], size[1], size[2]}) - 60.0f) < 1e-3f);
        QVERIFY(checkMesh(*stl).parts > 1);
    }

    void everyPresetPrints_data()
    {
        QTest::addColumn<QString>("entry");
        for (const QString& entry : Presets::workflowPresetNames())
            QTest::newRow(qPrintable(entry)) << entry;
    }

    void everyPresetPrints()
    {
        QFETCH(QString, entry);
        generate(entry);
        QVERIFY(QDir().mkpath(QStringLiteral("print")));
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("print/") + entry + QStringLiteral(".stl"));
        _window->exportSculptureTo(path, 100.0);
        QVERIFY2(status().startsWith(QStringLiteral("Wrote")), qPrintable(status()));
        const std::unique_ptr<TriMesh> stl(readBinaryStl(path.toStdString()));
        QVERIFY(stl);
        stl->need_bbox();
        const point size = stl->bbox.size();
        QVERIFY(std::fabs(std::max({size[0], size[1], size[2]}) - 100.0f) < 1e-3f);

        const QString admesh = QStandardPaths::findExecutable(QStringLiteral("admesh"));
        const QString slicer = QStandardPaths::findExecutable(QStringLiteral("prusa-slicer"));
        if (admesh.isEmpty() || slicer.isEmpty())
            QSKIP("admesh or prusa-slicer is not installed");
        int code = 0;
        const QString report = run(admesh, {path}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(admeshFigure(report, QStringLiteral("Number of parts")), 1);
        QCOMPARE(admeshFigure(report, QStringLiteral("Edges fixed")), 0);
        QCOMPARE(admeshFigure(report, QStringLiteral("Backwards edges")), 0);
        QCOMPARE(admeshFigure(report, QStringLiteral("Facets reversed")), 0);
        const QString gcode = path + QStringLiteral(".gcode");
        const QString sliced = run(slicer, {"--export-gcode", "--output", gcode, path}, &code);
        QVERIFY2(code == 0 && QFileInfo(gcode).size() > 1000, qPrintable(sliced.right(400)));
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
