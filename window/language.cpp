#include "ui_orv_window.h"

#include "window/orv_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

bool ORV_Window::loadTranslation()
{
    const QString path = language != 0 ? QStringLiteral(":/languages/us_EN.qm")
                                       : QStringLiteral(":/languages/zh_CN.qm");
    if (!QFile::exists(path)) {
        qCritical().noquote() << "Translation file not found:" << path;
        return false;
    }
    if (!translator->load(path)) {
        qCritical().noquote() << "Failed to load translation file:" << path;
        return false;
    }
    qDebug().noquote() << "Loaded translation file:" << path;
    return true;
}

void ORV_Window::language_changed(QAction *project)
{
    // Any text other than "Chinese" counts as English.
    language = project && project->text() == QLatin1String("Chinese") ? 0 : 1;

    // Recorded for the operator's information only: nothing reads the file back.
    settings->setValue(QStringLiteral("language"), language);
    settings->sync();

    if (!loadTranslation())
        qCritical() << "Language resource loading failed!";
    loadToolkitTranslation();

    // Re-installing makes the application post its LanguageChange event; no widget here
    // reacts to it, so the texts are re-applied below.
    QCoreApplication::removeTranslator(translator);
    QCoreApplication::installTranslator(translator);

    ui->retranslateUi(this);
    retranslateNetworkCards();
    retranslateDeviceTable();
}

void ORV_Window::loadToolkitTranslation()
{
    // The buttons of message boxes, the file dialog and the other texts of the toolkit's own come
    // from its catalogue: on Debian in qttranslations5-l10n, on Windows beside the program.
    QCoreApplication::removeTranslator(toolkitTranslator);
    if (language != 0)
        return;
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (toolkitTranslator->load(QStringLiteral("qtbase_zh_CN"), folder))
        QCoreApplication::installTranslator(toolkitTranslator);
    else
        qWarning().noquote() << "The toolkit's Chinese texts (qtbase_zh_CN.qm) were not found in" << folder
                             << "; its buttons and dialogs stay in English";
}
