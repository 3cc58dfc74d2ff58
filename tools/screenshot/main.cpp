// screenshot: saves a picture of the main window after a search against a simulated fleet,
// in the language chosen from the window's language menu. The menu's button is hidden in
// the program, so this is the way to picture the Chinese texts. With --batch it pictures
// the "Change addresses" dialog instead, after it has moved every device to an address
// from 192.168.1.100 on and verified the changes.
//
//   screenshot [--batch] <Chinese|English> <file.png> [devices]
//
// Searches on the loopback interface: run it in a network namespace of its own
// (tests/netns-run), under Xvfb or with QT_QPA_PLATFORM=offscreen.

#include "app/fonts.h"
#include "dialogs/batchdialog.h"
#include "tools/devicesim/devicesim.h"
#include "window/orv_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "screenshot: %s\n", qPrintable(message));
    return 1;
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    substituteWindowsFonts();
    // The search prints every device it found at debug level.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QStringList args = app.arguments();
    const bool batch = args.removeAll(QStringLiteral("--batch")) > 0;
    if (args.size() < 3 || args.size() > 4)
        return fail(QStringLiteral("usage: screenshot [--batch] <Chinese|English> <file.png> [devices]"));
    const QString language = args.at(1);
    const QString output = QDir::current().absoluteFilePath(args.at(2));
    bool ok = true;
    const int count = args.size() == 4 ? args.at(3).toInt(&ok) : batch ? 12 : 40;
    if (!ok || count < 0)
        return fail(QStringLiteral("not a device count: %1").arg(args.at(3)));

    // The language switch writes "./Settings.ini"; keep it out of the caller's directory.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()))
        return fail(QStringLiteral("no temporary directory: %1").arg(workDir.errorString()));
    // And the batch's report out of the user's data folder.
    qputenv("XDG_DATA_HOME", workDir.path().toLocal8Bit());

    DeviceSimulatorThread fleet;
    QString error;
    DeviceSimulator::Options simOptions;
    simOptions.restartMs = 500; // a real device takes its time; the picture need not
    if (!fleet.start(DeviceSimulator::makeFleet(count), simOptions, &error))
        return fail(QStringLiteral("simulator: %1").arg(error));

    ORV_Window window(QStringLiteral("Local Mannage"));
    window.setWindowTitle(QCoreApplication::translate("QObject", "Tarnvale_Managesystem"));
    window.show();

    auto *languageButton = window.findChild<QToolButton *>(QStringLiteral("language_button"));
    QAction *choice = nullptr;
    if (languageButton && languageButton->menu()) {
        for (QAction *action : languageButton->menu()->actions()) {
            if (action->text() == language)
                choice = action;
        }
    }
    if (!choice)
        return fail(QStringLiteral("the language menu has no entry \"%1\"").arg(language));
    choice->trigger();

    auto *cards = window.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    const int loopback = cards ? cards->findText(QStringLiteral("lo")) : -1;
    if (loopback < 0)
        return fail(QStringLiteral("no loopback interface in the network card list"));
    cards->setCurrentIndex(loopback);

    // Blocks for the whole search, as it does for the operator.
    window.findChild<QPushButton *>(QStringLiteral("search_button"))->click();
    if (window.devices().size() != count)
        return fail(QStringLiteral("the search found %1 of %2 devices").arg(window.devices().size()).arg(count));

    QWidget *pictured = &window;
    if (batch) {
        window.openBatchDialog();
        auto *dialog = window.findChild<BatchDialog *>();
        if (!dialog)
            return fail(QStringLiteral("the dialog did not open"));
        dialog->findChild<QCheckBox *>(QStringLiteral("check_all"))->click();
        dialog->findChild<QLineEdit *>(QStringLiteral("first_address"))->setText(QStringLiteral("192.168.1.100"));
        dialog->findChild<QPushButton *>(QStringLiteral("fill_button"))->click();
        // The password of makeFleet()'s active devices, and the first one of the others.
        for (const char *field : {"password_text", "confirmation_text"})
            dialog->findChild<QLineEdit *>(QLatin1String(field))->setText(QStringLiteral("admin123"));
        QEventLoop finished;
        QObject::connect(dialog, &BatchDialog::runFinished, &finished, &QEventLoop::quit);
        QPushButton *apply = dialog->findChild<QPushButton *>(QStringLiteral("apply_button"));
        if (!apply->isEnabled())
            return fail(QStringLiteral("Apply is disabled"));
        apply->click();
        if (!dialog->isRunning())
            return fail(QStringLiteral("the run did not start: %1")
                            .arg(dialog->findChild<QLabel *>(QStringLiteral("state_label"))->text()));
        finished.exec();
        pictured = dialog;
    }

    settle(500); // let the rebuilt pagination strip lay itself out
    if (!pictured->grab().save(output, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(output));
    fleet.stop();
    return 0;
}
