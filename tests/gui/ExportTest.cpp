// "export for printing ..." through its dialogs, and every preset as an STL
// that admesh finds whole and prusa-slicer slices, at the size asked for.

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

float longestSide(TriMesh& mesh)
{
    mesh.need_bbox();
    const point size = mesh.bbox.size();
    return std::max({size[0], size[1], size[2]});
}

}  // namespace

class ExportTest : public WindowTestCase {
    Q_OBJECT

    // Presses "export for printing ..." and answers its dialogs: the item
    // `choice` where a filling offers two sculptures, the file and the size.
    void exportThroughDialogs(const QString& path, double size, int choice = 0)
    {
        const auto answer = [&](QInputDialog* dialog) {
            if (dialog->inputMode() == QInputDialog::TextInput)
                dialog->setTextValue(dialog->comboBoxItems().value(choice));
            else
                dialog->setDoubleValue(size);
            dialog->accept();
        };
        const auto press = [&] { answerFileDialog(path, [&] { click(form().btn_simple_export_print); }); };
        answering<QInputDialog>(answer, press);
    }

private slots:
    // The STL lands where asked with its scene and pictures. After a filling
    // the example sculpture is offered too: its models overlap, and the line
    // says so instead of calling it one part.
    void exportThroughTheDialogs()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.btn_readyToEdit); });
        QVERIFY(QDir().mkpath(QStringLiteral("print")));
        const QString volume = QDir::current().absoluteFilePath(QStringLiteral("print/arrow"));
        exportThroughDialogs(volume, 80.0);
        QVERIFY2(status().startsWith(QStringLiteral("Wrote ") + volume + QStringLiteral(".stl")), qPrintable(status()));
        std::unique_ptr<TriMesh> stl(readBinaryStl((volume + QStringLiteral(".stl")).toStdString()));
        QVERIFY(stl && std::fabs(longestSide(*stl) - 80.0f) < 1e-3f);
        QVERIFY(QFileInfo::exists(volume + QStringLiteral(".kxscene")));
        QVERIFY(QFileInfo::exists(volume + QStringLiteral("_origx.png")));

        answerMessageBoxes(QStringLiteral("Yes"), [&] { click(f.btn_simple_fill_example_based); });
        QVERIFY(f.btn_simple_export_print->isEnabled());
        const QString models = QDir::current().absoluteFilePath(QStringLiteral("print/models.stl"));
        exportThroughDialogs(models, 60.0, 1);
        QVERIFY2(status().startsWith(QStringLiteral("Wrote ") + models + QStringLiteral(": the example sculpture")),
                 qPrintable(status()));
        stl.reset(readBinaryStl(models.toStdString()));
        QVERIFY(stl && std::fabs(longestSide(*stl) - 60.0f) < 1e-3f);
        QCOMPARE(stl->faces.size(), _window->session().filling().sculpture()->faces.size());
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
        QVERIFY(stl && std::fabs(longestSide(*stl) - 100.0f) < 1e-3f);

        const QString admesh = QStandardPaths::findExecutable(QStringLiteral("admesh"));
        const QString slicer = QStandardPaths::findExecutable(QStringLiteral("prusa-slicer"));
        if (admesh.isEmpty() || slicer.isEmpty())
            QSKIP("admesh or prusa-slicer is not installed");
        int code = 0;
        const QString report = run(admesh, {path}, &code);
        QCOMPARE(code, 0);
        const std::pair<const char*, int> figures[] = {
            {"Number of parts", 1}, {"Edges fixed", 0}, {"Backwards edges", 0}, {"Facets reversed", 0}};
        for (const auto& [name, expected] : figures)
            QCOMPARE(admeshFigure(report, QString::fromLatin1(name)), expected);
        const QString gcode = path + QStringLiteral(".gcode");
        const QString sliced = run(slicer, {"--export-gcode", "--output", gcode, path}, &code);
        QVERIFY2(code == 0 && QFileInfo(gcode).size() > 1000, qPrintable(sliced.right(400)));
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
