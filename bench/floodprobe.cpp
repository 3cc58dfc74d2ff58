// Presses Search in a real main window, optionally logs in to one device afterwards, and
// prints what the operator saw and what it cost, one "key=value" per line. Used by
// flood-probe.sh, which runs it in namespaces of its own against a flooding devicesim.
//
//   floodprobe [--card NAME] [--login IP,SN,PASSWORD] [--limit SECONDS]
//   floodprobe --hold-port PORT    binds PORT without SO_REUSEADDR and waits to be killed

#include "devicelink/orv_conn2device.h"
#include "window/orv_window.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QMutex>
#include <QStringList>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace {

void print(const char *key, const QString &value)
{
    std::printf("%s=%s\n", key, qPrintable(QString(value).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
    std::fflush(stdout);
}

void print(const char *key, qint64 value)
{
    print(key, QString::number(value));
}

// A field of /proc/self/status in kB (VmRSS: resident now, VmHWM: the peak so far).
qint64 statusKb(const char *field)
{
    qint64 kb = -1;
    if (FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, field, length) == 0 && line[length] == ':')
                kb = std::atoll(line + length + 1);
        }
        std::fclose(status);
    }
    return kb;
}

// The program's log is counted on its way to stderr (a file, in flood-probe.sh): writing
// it is part of what a flood costs the real program.
QtMessageHandler defaultHandler = nullptr;
std::atomic<qint64> debugLines{0};
std::atomic<qint64> warningLines{0};
std::atomic<qint64> synMismatchLines{0};
QMutex warningsMutex;
QStringList firstWarnings;

void countMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    defaultHandler(type, context, message);
    if (type == QtDebugMsg || type == QtInfoMsg) {
        ++debugLines;
        if (message == QLatin1String("syn not matched!"))
            ++synMismatchLines;
        return;
    }
    // The offscreen platform says so for every box it shows; not the program's warning.
    if (message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    ++warningLines;
    QMutexLocker locker(&warningsMutex);
    if (firstWarnings.size() < 3 && !firstWarnings.contains(message))
        firstWarnings.append(message);
}

void printLog()
{
    print("log_lines", debugLines.load());
    print("syn_not_matched_lines", synMismatchLines.load());
    print("warnings", warningLines.load());
    QMutexLocker locker(&warningsMutex);
    for (const QString &warning : qAsConst(firstWarnings))
        print("warning", warning.left(160));
}

// Closes every modal box from a timer, which also fires inside the link's nested
// loops, and keeps its title and text.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen.append(box->windowTitle() + QLatin1String(": ") + box->text());
            box->done(QMessageBox::Ok);
        });
        timer.start(20);
    }

    QStringList takeSeen() { return std::exchange(seen, {}); }

private:
    QTimer timer;
    QStringList seen;
};

void printBoxes(const char *key, const QStringList &boxes)
{
    print(key, boxes.size());
    for (const QString &box : boxes)
        print("box", box);
}

void processEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The other program of the port test: a plain socket, bound without SO_REUSEADDR.
int holdPort(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("floodprobe: bind");
        return 1;
    }
    std::printf("holding %u\n", unsigned(port));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--hold-port") == 0)
            return holdPort(quint16(std::atoi(argv[i + 1])));
    }

    defaultHandler = qInstallMessageHandler(countMessage);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption cardOption(QStringLiteral("card"), QStringLiteral("Search on this card."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption loginOption(QStringLiteral("login"), QStringLiteral("Log in after the search."),
                                         QStringLiteral("IP,SN,PASSWORD"));
    const QCommandLineOption limitOption(QStringLiteral("limit"), QStringLiteral("Give up after S seconds."),
                                         QStringLiteral("S"), QStringLiteral("60"));
    parser.addOptions({cardOption, loginOption, limitOption});
    parser.process(app);

    // A call that does not return within the limit is reported as such, with what was seen.
    const int limitS = parser.value(limitOption).toInt();
    QElapsedTimer clock;
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int ms = 0; ms < limitS * 1000 && !finished; ms += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (finished)
            return;
        print("did_not_return_s", limitS);
        print("peak_rss_kb", statusKb("VmHWM"));
        print("rss_kb", statusKb("VmRSS"));
        printLog();
        _exit(3);
    });

    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    if (parser.isSet(cardOption)) {
        auto *cards = window.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
        if (cards) {
            if (cards->findText(parser.value(cardOption)) < 0)
                cards->addItem(parser.value(cardOption));
            cards->setCurrentIndex(cards->findText(parser.value(cardOption)));
        }
        print("card", cards ? cards->currentText() : QStringLiteral("(no card box found)"));
    }
    processEvents(300);

    qint64 arrayMs = -1;
    int arraySize = -1;
    QObject::connect(window.link(), &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, &app,
                     [&](cJSON *array) {
                         arrayMs = clock.elapsed();
                         arraySize = array ? cJSON_GetArraySize(array) : -1;
                     });

    BoxCloser closer;
    print("idle_rss_kb", statusKb("VmRSS"));
    const qint64 startWarnings = warningLines;
    {
        QMutexLocker locker(&warningsMutex);
        firstWarnings.clear(); // keep the ones of the search and after
    }
    clock.start();
    if (!QMetaObject::invokeMethod(&window, "on_search_button_clicked", Qt::DirectConnection))
        print("error", QStringLiteral("the window has no slot on_search_button_clicked"));
    print("search_ms", clock.elapsed());
    print("array_ms", arrayMs);
    print("array_size", arraySize);
    print("listed", window.devices().size());
    print("peak_rss_kb", statusKb("VmHWM"));
    print("search_warnings", warningLines - startWarnings);
    processEvents(200);
    print("rss_after_kb", statusKb("VmRSS"));
    printBoxes("search_boxes", closer.takeSeen());

    if (parser.isSet(loginOption)) {
        const QStringList login = parser.value(loginOption).split(QLatin1Char(','));
        const qint64 before = synMismatchLines;
        clock.restart();
        window.link()->loginDevice(login.value(0), login.value(2), login.value(1));
        print("login_ms", clock.elapsed());
        const cJSON *reply = window.link()->replyJson();
        const cJSON *data = cJSON_GetObjectItem(reply, "data");
        const cJSON *result = cJSON_GetObjectItem(data ? data : reply, "login");
        print("login_reply", !reply ? QStringLiteral("(none)")
                             : cJSON_IsString(result) ? QString::fromUtf8(result->valuestring)
                                                      : QStringLiteral("(no \"login\")"));
        print("login_syn_not_matched_lines", synMismatchLines - before);
        processEvents(200);
        printBoxes("login_boxes", closer.takeSeen());
    }

    printLog();
    finished = true;
    watchdog.join();
    return 0;
}
