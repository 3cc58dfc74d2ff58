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
    void initTestCase();
    void cleanup();

    void secondStartEndsAtOnce();
    void startAfterKilledInstanceRuns_data();
    void startAfterKilledInstanceRuns();
    void simultaneousStartsLeaveOne();

private:
    QProcess *launch();
    bool markerPresent();
    int markerAttachments();
    bool waitUntilRunning(QProcess *process);

    // The key files of QSharedMemory/QSystemSemaphore live in the temp directory, which
    // other test namespaces share; a private one keeps every run to itself.
    QTemporaryDir tempDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

void tst_SingleInstance::initTestCase()
{
    QVERIFY(tempDir.isValid());
    qputenv("TMPDIR", tempDir.path().toLocal8Bit());
    QCOMPARE(QDir::tempPath(), QDir(tempDir.path()).canonicalPath());
    QVERIFY2(QFileInfo(QStringLiteral(ORV_PROGRAM)).isExecutable(), ORV_PROGRAM);
    QVERIFY2(!markerPresent(), "a marker from elsewhere is visible; the test needs its own IPC namespace");
}

void tst_SingleInstance::cleanup()
{
    for (auto &process : processes) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }
    processes.clear();
    // A terminated instance leaves its segment behind; a start-up check clears it, and
    // so does attaching and detaching here.
    QSharedMemory marker(QStringLiteral("PCorv"));
    if (marker.attach())
        marker.detach();
    QVERIFY(!markerPresent());
}

QProcess *tst_SingleInstance::launch()
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProgram(QStringLiteral(ORV_PROGRAM));
    process->start();
    processes.push_back(std::move(process));
    return processes.back().get();
}

bool tst_SingleInstance::markerPresent()
{
    return markerAttachments() >= 0;
}

// Looks at the marker segment without attaching: attaching and detaching again would
// remove a segment that a killed instance left behind, which is what the program itself
// must cope with. -1 when there is no segment.
int tst_SingleInstance::markerAttachments()
{
    const QByteArray keyFile = QFile::encodeName(QSharedMemory(QStringLiteral("PCorv")).nativeKey());
    const key_t key = ::ftok(keyFile.constData(), 'Q');
    if (key == -1)
        return -1;
    const int id = ::shmget(key, 0, 0400);
    if (id == -1)
        return -1;
    struct shmid_ds info;
    if (::shmctl(id, IPC_STAT, &info) != 0)
        return -1;
    return int(info.shm_nattch);
}

// Running: the process holds the marker and is still alive a moment later (a refused
// start ends right after its check).
bool tst_SingleInstance::waitUntilRunning(QProcess *process)
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

void tst_SingleInstance::secondStartEndsAtOnce()
{
    QProcess *first = launch();
    QVERIFY(waitUntilRunning(first));

    QProcess *second = launch();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardOutput().isEmpty());

    QCOMPARE(first->state(), QProcess::Running);
}

void tst_SingleInstance::startAfterKilledInstanceRuns_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGKILL") << 9;
    QTest::newRow("SIGTERM") << 15;
}

void tst_SingleInstance::startAfterKilledInstanceRuns()
{
    QFETCH(int, signalNumber);

    QProcess *first = launch();
    QVERIFY(waitUntilRunning(first));
    QProcess killer;
    killer.start(QStringLiteral("kill"), {QStringLiteral("-%1").arg(signalNumber), QString::number(first->processId())});
    QVERIFY(killer.waitForFinished(5000));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    QVERIFY2(markerAttachments() == 0, "the killed instance leaves its segment behind, held by nobody");

    QProcess *next = launch();
    QVERIFY2(waitUntilRunning(next), "a start after a killed instance must run");

    // ... and it is the one instance now.
    QProcess *another = launch();
    QVERIFY(another->waitForFinished(10000));
    QCOMPARE(another->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
}

void tst_SingleInstance::simultaneousStartsLeaveOne()
{
    const int count = 4;
    QVector<QProcess *> started;
    for (int i = 0; i < count; ++i)
        started << launch();
    for (QProcess *process : started)
        QVERIFY(process->waitForStarted(5000));

    // The refused ones end by themselves; wait for them, then let the survivor settle.
    QElapsedTimer clock;
    clock.start();
    auto running = [&started] {
        return std::count_if(started.cbegin(), started.cend(),
                             [](QProcess *p) { return p->state() == QProcess::Running; });
    };
    while (running() > 1 && clock.elapsed() < 20000)
        QTest::qWait(100);
    QTest::qWait(1500);
    QCOMPARE(int(running()), 1);
    for (QProcess *process : started) {
        if (process->state() == QProcess::NotRunning) {
            QCOMPARE(process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(process->exitCode(), 0);
        }
    }
    QVERIFY(markerPresent());
}

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
