// The real program started as separate processes, in an IPC namespace of this test's own.

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

    void secondStartExits()
    {
        QProcess *first = launch();
        QVERIFY(stillRunning(first));
        QProcess *second = launch();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    // Its marker stays behind, held by nobody; the next start must run all the same.
    void killedInstanceDoesNotBlockTheNext()
    {
        QProcess *first = launch();
        QVERIFY(stillRunning(first));
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QVERIFY2(stillRunning(launch()), "a start after a killed instance must run");
        QVERIFY(launch()->waitForFinished(10000)); // and it is the one instance now
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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
