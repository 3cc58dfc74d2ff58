// The real program started as separate processes: one instance at a time, also after a
// crash. ctest runs this test in IPC and network namespaces of its own.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <memory>
#include <vector>

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(tempDir.isValid());
        qputenv("TMPDIR", tempDir.path().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QCOMPARE(QDir::tempPath(), QDir(tempDir.path()).canonicalPath());
        QVERIFY2(QFileInfo(QStringLiteral(ORV_PROGRAM)).isExecutable(), ORV_PROGRAM);
        QVERIFY2(markerAttachments() < 0, "a marker from elsewhere is visible; the test needs its own IPC namespace");
    }

    void cleanup()
    {
        for (auto &process : processes) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        processes.clear();
        // Clears the segment a terminated instance leaves behind.
        QSharedMemory marker(QStringLiteral("PCorv"));
        if (marker.attach())
            marker.detach();
        QVERIFY(markerAttachments() < 0);
    }

    // A second start beside a live instance ends at once with 0 and shows nothing: here, by
    // the instance started after a killed one, and in the simultaneous starts.
    void startAfterKilledInstanceRuns()
    {
        QProcess *first = launch();
        QVERIFY(waitUntilRunning(first));
        first->kill(); // SIGKILL
        QVERIFY(first->waitForFinished(5000));
        QCOMPARE(first->exitStatus(), QProcess::CrashExit);
        QVERIFY2(markerAttachments() == 0, "the killed instance leaves its segment behind, held by nobody");

        QProcess *next = launch();
        QVERIFY2(waitUntilRunning(next), "a start after a killed instance must run");
        expectRefused(launch()); // ... and it is the one instance now
        QCOMPARE(next->state(), QProcess::Running);
    }

    void simultaneousStartsLeaveOne()
    {
        QVector<QProcess *> started;
        for (int i = 0; i < 4; ++i)
            started << launch();
        for (QProcess *process : started)
            QVERIFY(process->waitForStarted(5000));

        // The refused ones end by themselves; wait for them, then let the survivor settle.
        const auto running = [&started] {
            return int(std::count_if(started.cbegin(), started.cend(),
                                     [](QProcess *p) { return p->state() == QProcess::Running; }));
        };
        QElapsedTimer clock;
        clock.start();
        while (running() > 1 && clock.elapsed() < 20000)
            QTest::qWait(100);
        QTest::qWait(1500);
        QCOMPARE(running(), 1);
        for (QProcess *process : started) {
            if (process->state() == QProcess::NotRunning) {
                QCOMPARE(process->exitStatus(), QProcess::NormalExit);
                QCOMPARE(process->exitCode(), 0);
            }
        }
        QVERIFY(markerAttachments() >= 0);
    }

private:
    QProcess *launch()
    {
        auto process = std::make_unique<QProcess>(); // inherits TMPDIR and QT_QPA_PLATFORM
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(ORV_PROGRAM), QStringList());
        processes.push_back(std::move(process));
        return processes.back().get();
    }

    // Looks at the marker segment without attaching (attaching and detaching would remove a
    // segment a killed instance left behind, which the program itself must cope with).
    // -1 when there is no segment.
    static int markerAttachments()
    {
        const QByteArray keyFile = QFile::encodeName(QSharedMemory(QStringLiteral("PCorv")).nativeKey());
        const key_t key = ::ftok(keyFile.constData(), 'Q');
        const int id = key == -1 ? -1 : ::shmget(key, 0, 0400);
        struct shmid_ds info;
        return id == -1 || ::shmctl(id, IPC_STAT, &info) != 0 ? -1 : int(info.shm_nattch);
    }

    // Running: the process holds the marker and is still alive a moment later (a refused
    // start ends right after its check).
    static bool waitUntilRunning(QProcess *process)
    {
        if (!process->waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (markerAttachments() != 1) {
            if (process->state() != QProcess::Running || clock.elapsed() > 15000)
                return false;
            QTest::qWait(50);
        }
        return !process->waitForFinished(1000);
    }

    static void expectRefused(QProcess *process)
    {
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        QVERIFY(process->readAllStandardOutput().isEmpty());
    }

    // The key files of QSharedMemory/QSystemSemaphore live in the temp directory, which
    // other test namespaces share; a private one keeps every run to itself.
    QTemporaryDir tempDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
