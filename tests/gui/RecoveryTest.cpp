// The recovery copy through the real window: written after an edit, left
// behind by a session that did not end normally (simulated by keeping the
// folder a normal end removes), offered and restored by the next window; left
// alone by a second window open at the same time; a damaged copy is reported
// and discarded.

#include "WindowTestSupport.h"

#include "files/Recovery.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>

using namespace gui_test;

class RecoveryTest : public WindowTestCase {
    Q_OBJECT

    // Shift-click on the middle of the view with the subtractive brush.
    void brushStroke()
    {
        SceneGLWidget* view = _window->view();
        view->grabFramebuffer();
        QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, view->rect().center());
        QTest::keyRelease(view, Qt::Key_Shift);
    }

    QList<QImage> shownComparisons()
    {
        QList<QImage> images;
        for (QLabel* label : {form().currentResultLabel_x, form().currentResultLabel_y, form().currentResultLabel_z})
            images << label->pixmap().toImage();
        return images;
    }

    // The snapshot of the last step, on disk.
    void settle()
    {
        QCoreApplication::processEvents();
        QVERIFY(_window->recovery().flush().ok());
    }

private slots:
    void aCopyLeftBehindIsRestored()
    {
        generate(QStringLiteral("animals"));
        answerMessageBoxes(QStringLiteral("Got It"), [&] { click(form().btn_readyToEdit); });
        brushStroke();
        QVERIFY2(status().endsWith(QStringLiteral(" cell(s) removed.")), qPrintable(status()));
        QVERIFY(status() != QStringLiteral("0 cell(s) removed."));
        settle();
        const QString folder = _window->recovery().folder();
        QVERIFY(recoveryExists(folder));
        const int cells = cellCount();
        const QList<bool> stage = stages();
        const QList<QImage> comparisons = shownComparisons();  // the views as they were, too

        // The process dies: nothing removes the copy. Here the folder is kept
        // aside while the window ends normally, then put back.
        QTemporaryDir aside;
        QVERIFY(copyTree(folder, aside.path()));
        _window.reset();
        QVERIFY(!recoveryExists(folder));
        QVERIFY(copyTree(aside.path(), folder));

        QStringList asked = answerMessageBoxes(QStringLiteral("Restore"), [&] { _window = shownWindow(); });
        QVERIFY(_window);
        QCOMPARE(asked, QStringList{"Kalvex"});
        QCOMPARE(status(), QStringLiteral("Restored the design from the last session."));
        QCOMPARE(cellCount(), cells);
        QCOMPARE(stages(), stage);
        QVERIFY(shownComparisons() == comparisons);
        QCOMPARE(_window->session().pictures().viewCount(), 3);  // the pictures are back, and can be deformed

        // "Discard" removes it without touching the new window.
        settle();
        QVERIFY(copyTree(folder, aside.path() + QStringLiteral("/again")));
        _window.reset();
        QVERIFY(copyTree(aside.path() + QStringLiteral("/again"), folder));
        asked = answerMessageBoxes(QStringLiteral("Discard"), [&] { _window = shownWindow(); });
        QCOMPARE(asked, QStringList{"Kalvex"});
        QVERIFY(!recoveryExists(folder));
        QVERIFY(!_window->session().volume().exists());
    }

    // Two windows at once: the second finds the first one's copy in use, so
    // it neither offers it nor writes over it, and ending it leaves it there.
    void aSecondWindowLeavesTheFirstOnesCopyAlone()
    {
        generate(QStringLiteral("animals"));
        settle();
        const QString folder = _window->recovery().folder();
        QVERIFY(recoveryExists(folder));
        QVERIFY(_window->recovery().keepsCopy());

        std::unique_ptr<KalvexWindow> second;
        const QStringList asked = answerMessageBoxes(QStringLiteral("Restore"), [&] { second = shownWindow(); });
        QVERIFY(second);
        QVERIFY(asked.isEmpty());
        QVERIFY(!second->recovery().keepsCopy());
        QCOMPARE(second->statusLabel()->text(),
                 QStringLiteral("Another Kalvex window is open: this one keeps no recovery copy."));
        second.reset();
        QVERIFY(recoveryExists(folder));

        // Once the first has ended normally, the next window keeps the copy again.
        _window.reset();
        QVERIFY(!recoveryExists(folder));
        _window = shownWindow();
        QVERIFY(_window);
        QVERIFY(_window->recovery().keepsCopy());

        // A lock left by a process that was killed does not keep the next window out.
        _window.reset();
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(folder + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + "\nkalvex\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        _window = shownWindow();
        QVERIFY(_window);
        QVERIFY(_window->recovery().keepsCopy());
    }

    void aDamagedCopyIsReportedAndDiscarded()
    {
        const QString folder = _window->recovery().folder();
        _window.reset();
        QVERIFY(QDir().mkpath(folder));
        QFile manifest(folder + QStringLiteral("/manifest.json"));
        QVERIFY(manifest.open(QIODevice::WriteOnly));
        manifest.write("{\"snapshot\": \"snapshot-0\"}");
        manifest.close();
        answerMessageBoxes(QStringLiteral("Restore"), [&] { _window = shownWindow(); });
        QVERIFY(_window);
        QVERIFY2(status().endsWith(QStringLiteral("The recovery copy was discarded.")), qPrintable(status()));
        QCOMPARE(status().count(QLatin1Char('\n')), 0);
        QVERIFY(!recoveryExists(folder));
    }
};

QTEST_MAIN(RecoveryTest)
#include "RecoveryTest.moc"
