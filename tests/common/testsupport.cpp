#include "testsupport.h"

#include "orv_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTableWidget>

static LogCapture *activeCapture = nullptr;

LogCapture::LogCapture() : previous(qInstallMessageHandler(&LogCapture::handle))
{
    activeCapture = this;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    activeCapture = nullptr;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Said by the offscreen platform plugin that tests run on, never by a desktop.
    static const QStringList platformNoise = {
        QStringLiteral("This plugin does not support propagateSizeHints()"),
        QStringLiteral("QObject::connect: No such signal QPlatformNativeInterface::systemTrayWindowChanged(QScreen*)")};
    LogCapture *capture = activeCapture;
    if (!capture || platformNoise.contains(message))
        return;
    {
        QMutexLocker locker(&capture->mutex);
        capture->seen.append({type, message});
    }
    if (type != QtDebugMsg)
        capture->previous(type, context, message);
}

QStringList LogCapture::lines(int type) const
{
    QMutexLocker locker(&mutex);
    QStringList result;
    for (const auto &line : seen) {
        if (type < 0 || line.first == type)
            result << line.second;
    }
    return result;
}

bool MessageBoxCloser::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QMessageBox *>(watched);
    if (event->type() != QEvent::Show || !box || !box->isWindow())
        return false;
    static const char *const icons[] = {"none", "information", "warning", "critical", "question"};
    const QWidget *parent = box->parentWidget();
    boxes << QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(icons[box->icon()]), box->windowTitle(), box->text(),
                                               QLatin1String(parent ? parent->metaObject()->className() : "none"));
    shownMs << nowMs();
    QTimer::singleShot(0, box, [this, box] {
        closedMs << nowMs();
        box->button(QMessageBox::Ok)->click();
    });
    return false;
}

QString visibleWindows(const QWidget *except)
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget != except && widget->isVisible())
            names << QString::fromLatin1(widget->metaObject()->className());
    }
    return names.join(QLatin1Char(' '));
}

SimDevice simDevice(const QString &ip, const QString &sn, const QString &password)
{
    return {ip, sn, "02:00:00:00:00:" + ip.section('.', 3), "IPC-2120", "IPC21",
            password.isEmpty() ? "inactive" : "active", "6.0.231024", password};
}

JsonPtr deviceArray(const QVector<SimDevice> &fleet)
{
    JsonPtr array = makeJsonPtr(cJSON_CreateArray());
    for (const SimDevice &d : fleet) {
        cJSON *device = cJSON_CreateObject();
        const QString texts[] = {QStringLiteral("0"), d.ip, d.sn, d.mac, d.model, d.baseModel, d.activeState, d.version};
        for (int i = 0; i < kDeviceMemberCount; ++i)
            cJSON_AddStringToObject(device, kDeviceMemberNames[i], texts[i].toUtf8().constData());
        cJSON_AddItemToArray(array.get(), device);
    }
    return array;
}

bool deliver(ORV_Window &window, const JsonPtr &array)
{
    return QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Q_ARG(cJSON *, array.get()));
}

bool chooseLoopback(ORV_Window &window)
{
    auto *box = window.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    box->setCurrentIndex(box->findText(QStringLiteral("lo")));
    return box->currentText() == QLatin1String("lo");
}

QStringList column(ORV_Window &window, int c)
{
    QStringList texts;
    auto *table = window.findChild<QTableWidget *>();
    for (int row = 0; row < table->rowCount(); ++row)
        texts << table->item(row, c)->text();
    return texts;
}
