// The real program started as separate processes, in an IPC namespace of this test's own.

#include "app/raisechannel.h"
#include "app/singleinstance.h"
#include "app/windowoptions.h"
#include "app/withoutopengl.h"
#include "tests/common/testcore.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() // the keys' files go to a folder of this test's own, which any user may write
    {
        qputenv("TMPDIR", tempDir.path().toLocal8Bit());
        QVERIFY(runShell("chmod 1777 " + tempDir.path()));
    }

    void cleanup()
    {
        for (auto &process : processes) {
            process->kill();
            process->waitForFinished(5000);
        }
        processes.clear();
    }

    // A second start exits while the first runs on; one of another user says whose instance runs,
    // in a box (and on standard error) that waits for its OK. Killed, the first leaves its marker
    // behind, held by nobody: another user is told who left it and how to remove it, while the
    // next start of its own user runs all the same, and is the one instance.
    void oneInstanceAtATime()
    {
        const bool twoUsers = runShell("setpriv --reuid=nobody --regid=nogroup --clear-groups true"); // as root
        QProcess *first = launch();
        QVERIFY(stillRunning(first));
        QProcess *second = launch();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        if (twoUsers)
            QCOMPARE(noticeToNobody(), QStringLiteral("Tarnvale Manager is already running for the user root on this "
                                                      "computer, and only one can run at a time. Ask root to close it, "
                                                      "or use it in their session."));
        QCOMPARE(first->state(), QProcess::Running);
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        const QString leftBehind = twoUsers ? noticeToNobody() : QString();
        QVERIFY2(!twoUsers || leftBehind.contains(QRegularExpression(
                     "^Tarnvale Manager cannot start: it ran last for the user root and ended without releasing its "
                     "lock\\. An administrator can remove the lock with: sudo ipcrm -m \\d+$")), qPrintable(leftBehind));
        QVERIFY2(stillRunning(launch()), "a start after a killed instance must run");
        QVERIFY(launch()->waitForFinished(10000));
        if (!twoUsers)
            QSKIP("the starts of another user were not tried: that takes root (in the test's own namespaces)");
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

    // With nobody to answer, a second start gives up after 2 s; an instance that comes up late is
    // found at the next try, 100 ms after the first.
    void raiseWaits()
    {
        const QString name = QStringLiteral("tarnvale-raise-test");
        qint64 start = nowMs();
        QVERIFY(!RaiseChannel::askToRaise(name));
        QVERIFY_DURATION(nowMs() - start, 2000, 2600);

        std::thread late([name] { // the running instance's answer, without an event loop
            QThread::msleep(30);
            QLocalServer server;
            QLocalSocket *client = server.listen(name) && server.waitForNewConnection(3000) ? server.nextPendingConnection() : nullptr;
            if (client && client->waitForReadyRead(3000) && client->readLine() == "raise\n") {
                client->write("raised\n");
                client->waitForBytesWritten(3000);
            }
        });
        start = nowMs();
        const bool raised = RaiseChannel::askToRaise(name);
        const qint64 took = nowMs() - start;
        late.join();
        QVERIFY(raised);
        QVERIFY_DURATION(took, 100, 130);
    }

    // Only the window goes without OpenGL: the user's choice, and what programs it starts get.
    void withoutOpenGl()
    {
        const char *const variable = "QT_XCB_GL_INTEGRATION";
        for (const QByteArray &chosen : {QByteArray(), QByteArray("glx")}) {
            chosen.isNull() ? qunsetenv(variable) : qputenv(variable, chosen);
            std::optional<WithoutOpenGl> held(std::in_place);
            QCOMPARE(qgetenv(variable), chosen.isNull() ? QByteArray("none") : chosen);
            held.reset();
            QCOMPARE(qEnvironmentVariableIsSet(variable) ? qgetenv(variable) : QByteArray(), chosen);
        }
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("answer");

        QTest::newRow("-v") << "-v" << int(CommandLineAnswer::Version);
        QTest::newRow("help wins over version") << "-v -h" << int(CommandLineAnswer::Help);
        QTest::newRow("after a toolkit option") << "-platform xcb --version" << int(CommandLineAnswer::Version);
        QTest::newRow("-reverse, a word not -r -e -v") << "-reverse" << int(CommandLineAnswer::Start);
        QTest::newRow("the toolkit's, with values") << "-platform xcb -style=fusion -stylesheet a.qss -qwindowtitle T"
                                                    << int(CommandLineAnswer::Start);
        QTest::newRow("a toolkit option without its value") << "-platform" << int(CommandLineAnswer::Mistake);
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
        QTest::newRow("unknown, with the usage") << QStringList{"-platform", "xcb", "--frobnicate"}
                                                 << "tarnvale-manager: Unknown option 'frobnicate'.\nUsage: " ORV_PROGRAM << 2;
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
    QProcess *launch(const QString &program = QStringLiteral(ORV_PROGRAM), const QStringList &arguments = {})
    {
        processes.push_back(std::make_unique<QProcess>()); // inherits TMPDIR and QT_QPA_PLATFORM
        processes.back()->start(program, arguments);
        return processes.back().get();
    }

    // A start of the user nobody while the one instance runs: what it says on standard error, once
    // it waits in its box.
    QString noticeToNobody()
    {
        QProcess *start = launch(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", ORV_PROGRAM});
        QByteArray said;
        for (int i = 0; i < 100 && start->state() != QProcess::NotRunning && !said.contains('\n'); ++i) {
            start->waitForReadyRead(100);
            said += start->readAllStandardError();
        }
        if (start->state() != QProcess::Running)
            return "ended: " + QString::fromLocal8Bit(said);
        start->kill();
        start->waitForFinished(5000);
        return QString::fromLocal8Bit(said).split('\n').filter("Tarnvale").value(0);
    }

    // A refused start ends within moments; one instance runs on.
    static bool stillRunning(QProcess *process) { return process->waitForStarted(5000) && !process->waitForFinished(3000); }

    QTemporaryDir tempDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
