// The real program started as separate processes, in an IPC namespace of this test's own.

#include "app/raisechannel.h"
#include "app/singleinstance.h"
#include "app/windowoptions.h"

#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("TMPDIR", tempDir.path().toLocal8Bit()); } // where the keys' files go

    void cleanup()
    {
        for (auto &process : processes) {
            process->kill();
            process->waitForFinished(5000);
        }
        processes.clear();
    }

    // A second start exits while the first runs on. Killed, the first leaves its marker
    // behind, held by nobody: the next start must run all the same, and be the one instance.
    void oneInstanceAtATime()
    {
        QProcess *first = launch();
        QVERIFY(stillRunning(first));
        QProcess *second = launch();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QVERIFY2(stillRunning(launch()), "a start after a killed instance must run");
        QVERIFY(launch()->waitForFinished(10000));
    }

    // Here this test is the running instance, as the program is once its window shows.
    void secondStartRaisesTheWindow()
    {
        SingleInstance instance(QStringLiteral("PCORV_KEY"), QStringLiteral("PCorv"));
        QVERIFY(instance.acquire());
        QMainWindow window;
        window.showMinimized();
        RaiseChannel channel(&window, RaiseChannel::defaultName());
        QVERIFY(channel.listen());
        QProcess *second = launch();
        QTRY_VERIFY(second->state() == QProcess::NotRunning); // served by this event loop meanwhile
        QVERIFY(!window.isMinimized() && window.isVisible());
        QTRY_VERIFY(window.isActiveWindow());
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("answer");

        QTest::newRow("-v") << "-v" << int(CommandLineAnswer::Version);
        QTest::newRow("help wins over version") << "-v -h" << int(CommandLineAnswer::Help);
        QTest::newRow("after a toolkit option") << "-platform xcb --version" << int(CommandLineAnswer::Version);
        QTest::newRow("-reverse, a word not -r -e -v") << "-reverse" << int(CommandLineAnswer::Start);
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(int, answer);
        QCOMPARE(int(commandLineAnswer(("tarnvale-manager " + arguments).split(' ', Qt::SkipEmptyParts))), answer);
    }

    // Answered while an instance runs (as a second start, which must not just raise its window),
    // and without a display: the toolkit, were it started, would abort for want of one.
    void optionsWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output"); // the start of standard output, or of standard error
        QTest::addColumn<int>("status");

        const QString version = QStringLiteral("tarnvale-manager " ORV_VERSION "\n");
        QTest::newRow("--version") << QStringList{"--version"} << version << 0;
        QTest::newRow("--help") << QStringList{"--help"} << "Usage: " ORV_PROGRAM " [options]\n" << 0;
        QTest::newRow("--version to a full disk") << QStringList{"--version", ">/dev/full"}
                                                  << "tarnvale-manager: standard output: No space left on device" << 1;
    }

    void optionsWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        QFETCH(int, status);
        QVERIFY(stillRunning(launch()));
        QProcess process;
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), "DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM=xcb exec \"$0\" "
                                             + arguments.join(' '), QStringLiteral(ORV_PROGRAM)});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        const QString said = QString::fromLocal8Bit(status == 0 ? process.readAllStandardOutput() : process.readAllStandardError());
        QVERIFY2(said.startsWith(output), qPrintable(said));
        QCOMPARE(process.exitCode(), status);
    }

private:
    QProcess *launch()
    {
        processes.push_back(std::make_unique<QProcess>()); // inherits TMPDIR and QT_QPA_PLATFORM
        processes.back()->start(QStringLiteral(ORV_PROGRAM), QStringList());
        return processes.back().get();
    }

    // A refused start ends within moments; one instance runs on.
    static bool stillRunning(QProcess *process) { return process->waitForStarted(5000) && !process->waitForFinished(3000); }

    QTemporaryDir tempDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
