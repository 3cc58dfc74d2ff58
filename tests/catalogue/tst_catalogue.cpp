// The Chinese catalogue cannot silently lose a text: lupdate, run as the catalogue is refreshed
// (lupdate -locations none -no-obsolete app devicelink window dialogs), on a copy of it, neither
// drops a translation nor finds a text that has none. Texts left untranslated on purpose (the
// "Device ID" header) are committed unfinished and may stay so.

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Entry
{
    QString translation;
    bool finished = false;
};

// "context | source" (and " | comment" where there is one) -> its translation.
using Catalogue = QMap<QString, Entry>;

bool readCatalogue(const QString &path, Catalogue *catalogue, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context, source, comment;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                source.clear();
                comment.clear();
                entry = Entry();
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (name == QLatin1String("comment")) {
                comment = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                entry.finished = type.isEmpty();
                entry.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            QStringList key{context, source};
            if (!comment.isEmpty())
                key << comment;
            catalogue->insert(key.join(QLatin1String(" | ")), entry);
        }
    }
    if (xml.hasError())
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return !xml.hasError();
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

QString listed(const QStringList &texts)
{
    return QStringLiteral("\n    ") + texts.join(QLatin1String("\n    "));
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString top = qEnvironmentVariable("ORV_SOURCE_DIR", QStringLiteral(ORV_SOURCE_DIR));
        committedPath = top + QStringLiteral("/resources/translations/zh_CN.ts");
        const QByteArray before = digest(committedPath);
        QVERIFY2(!before.isEmpty(), qPrintable(committedPath));
        const QString copy = scratch.filePath(QStringLiteral("zh_CN.ts"));
        QVERIFY(QFile::copy(committedPath, copy));

        QProcess lupdate;
        lupdate.setWorkingDirectory(top);
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(ORV_LUPDATE), {"-locations", "none", "-no-obsolete", "app", "devicelink",
                                                     "window", "dialogs", "-ts", copy});
        QVERIFY2(lupdate.waitForFinished(60000), qPrintable(lupdate.errorString()));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAll().constData());
        QCOMPARE(digest(committedPath), before);

        QString error;
        QVERIFY2(readCatalogue(committedPath, &committed, &error), qPrintable(error));
        QVERIFY2(readCatalogue(copy, &refreshed, &error), qPrintable(error));
        QVERIFY(!committed.isEmpty());
    }

    void noTranslationDropped()
    {
        QStringList lost;
        for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
            if (!it->finished)
                continue;
            const auto now = refreshed.constFind(it.key());
            if (now == refreshed.cend())
                lost << it.key() + QStringLiteral("  (dropped: lupdate finds no tr() of it in that context)");
            else if (!now->finished || now->translation != it->translation)
                lost << it.key() + QStringLiteral("  (its translation changed)");
        }
        QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("a catalogue refresh would lose %1 translated text(s); "
                                                           "the program may still show them:")
                                                .arg(lost.size()) + listed(lost)));
    }

    void noTextLeftUnfinished()
    {
        QStringList unfinished;
        for (auto it = refreshed.cbegin(); it != refreshed.cend(); ++it) {
            const auto before = committed.constFind(it.key());
            const bool untranslatedOnPurpose = before != committed.cend() && !before->finished;
            if (!it->finished && !untranslatedOnPurpose)
                unfinished << it.key();
        }
        QVERIFY2(unfinished.isEmpty(),
                 qPrintable(QStringLiteral("%1 text(s) in use without a Chinese translation (add them with lupdate "
                                           "-locations none -no-obsolete app devicelink window dialogs -ts "
                                           "resources/translations/zh_CN.ts and translate them):")
                                .arg(unfinished.size()) + listed(unfinished)));
    }

private:
    QTemporaryDir scratch;
    QString committedPath;
    Catalogue committed, refreshed;
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
