// The real program started as separate processes, in the IPC namespace of this test alone:
// one instance at a time, also after one was killed.

#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <memory>
#include <vector>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TMPDIR", tempDir.path().toLocal8Bit()); // where the keys' files go
        QVERIFY2(markerAttachments() < 0, "a marker from elsewhere is visible; the test needs an IPC namespace of its own");
    }

    void cleanup()
    {
        for (auto &process : processes) {
            process->kill();
            process->waitForFinished(5000);
        }
        processes.clear();
        QSharedMemory marker(QStringLiteral("PCorv")); // a killed instance leaves its segment behind
        if (marker.attach())
            marker.detach();
    }

    void secondStartExits()
    {
        QProcess *first = launch();
        QVERIFY(waitUntilRunning(first));
        QProcess *second = launch();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void killedInstanceDoesNotBlockTheNext()
    {
        QProcess *first = launch();
        QVERIFY(waitUntilRunning(first));
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QCOMPARE(markerAttachments(), 0); // its segment is left, held by nobody
        QVERIFY2(waitUntilRunning(launch()), "a start after a killed instance must run");
    }

private:
    QProcess *launch()
    {
        processes.push_back(std::make_unique<QProcess>()); // inherits TMPDIR and QT_QPA_PLATFORM
        processes.back()->start(QStringLiteral(ORV_PROGRAM), QStringList());
        return processes.back().get();
    }

    // Running: holding the marker and still alive a moment later (a refused start ends at once).
    bool waitUntilRunning(QProcess *process)
    {
        QElapsedTimer clock;
        clock.start();
        while (markerAttachments() != 1 && process->state() != QProcess::NotRunning && clock.elapsed() < 15000)
            QTest::qWait(50);
        return markerAttachments() == 1 && !process->waitForFinished(500);
    }

    // Looks at the marker segment without attaching, which would remove one left by a killed
    // instance; -1 when there is none.
    static int markerAttachments()
    {
        const QByteArray keyFile = QFile::encodeName(QSharedMemory(QStringLiteral("PCorv")).nativeKey());
        const key_t key = ::ftok(keyFile.constData(), 'Q');
        const int id = key == -1 ? -1 : ::shmget(key, 0, 0400);
        struct shmid_ds info;
        return id == -1 || ::shmctl(id, IPC_STAT, &info) != 0 ? -1 : int(info.shm_nattch);
    }

    QTemporaryDir tempDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
