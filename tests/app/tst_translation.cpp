// The English translations are complete: every text of the window's tables has an English entry,
// every marked text in the translated folders of Quorvane and of crc16 is translated (lupdate run
// afresh over them finds nothing unfinished), and no Chinese text in those sources escapes
// marking.

#include "app/layout.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {

const QRegularExpression Han(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));

// Texts that stay as they are in English: a language named in its own words, a font's name.
const QStringList Untranslated{QStringLiteral("中文"), QStringLiteral("宋体")};

QString HowToFix(const QString &tsFile)
{
    return QStringLiteral("run `cmake --build build --target update_translations`, then give "
                          "each entry its English in %1 (short enough for its box; tst_screens "
                          "measures it)")
        .arg(QDir(QStringLiteral(QUORVANE_SOURCE_DIR)).relativeFilePath(tsFile));
}

struct TsEntry
{
    QString context, source, translation;
    bool unfinished = false;
};

QList<TsEntry> ReadTs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<TsEntry> entries;
    QXmlStreamReader xml(&file);
    QString context;
    TsEntry entry;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            entry = {context, {}, {}, false};
        } else if (xml.name() == u"source") {
            entry.source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            entry.unfinished = !xml.attributes().value(QStringLiteral("type")).isEmpty();
            entry.translation = xml.readElementText();
            entries << entry;
        }
    }
    return entries;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_english.load(QStringLiteral(":/i18n/quorvane_en.qm"))); }

    // A text put into a table without its English shows Chinese in the English window.
    void tableTexts()
    {
        QStringList texts{app::WindowCaption()};
        for (const app::ControlRow &row : app::WindowLayout())
            texts << row.text << row.items;
        texts << app::TabCaptions();
        for (const app::MenuRow &row : app::PopupMenuTable())
            texts << row.caption;
        QStringList missing;
        for (const QString &text : std::as_const(texts)) {
            if (!text.contains(Han))
                continue;
            const QString english = m_english.translate("Form1", text.toUtf8().constData());
            if (english.isEmpty() || (english.contains(Han) && !Untranslated.contains(text)))
                missing << text;
        }
        missing.removeDuplicates();
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("no English for: \"%1\"; %2")
                                .arg(missing.join(u"\", \""),
                                     HowToFix(QStringLiteral(QUORVANE_TS_FILE)))));
    }

    void markedTextsTranslated_data()
    {
        QTest::addColumn<QString>("tsFile");
        QTest::addColumn<QString>("folders"); // comma-separated, under the source tree
        QTest::addColumn<QString>("howToMark");
        QTest::newRow("quorvane") << QStringLiteral(QUORVANE_TS_FILE)
                                  << QStringLiteral(QUORVANE_TRANSLATED_DIRS)
                                  << QStringLiteral(
                                         "QT_TRANSLATE_NOOP(\"Form1\" or \"Messages\", ...)");
        QTest::newRow("crc16") << QStringLiteral(CRC16_TS_FILE)
                               << QStringLiteral(CRC16_TRANSLATED_DIRS)
                               << QStringLiteral(
                                      "tr() or QCoreApplication::translate(\"crc\", ...)");
    }

    // lupdate over the sources as they are now: a marked text without English, or a text the
    // translation file does not know yet, fails here.
    void markedTextsTranslated()
    {
        QFETCH(QString, tsFile);
        QFETCH(QString, folders);
        QFETCH(QString, howToMark);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString ts = dir.filePath(QFileInfo(tsFile).fileName());
        QVERIFY(QFile::copy(tsFile, ts));
        QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);
        QStringList arguments;
        for (const QString &folder : folders.split(u','))
            arguments << QStringLiteral(QUORVANE_SOURCE_DIR "/") + folder;
        arguments << QStringLiteral("-no-obsolete") << QStringLiteral("-locations")
                  << QStringLiteral("none") << QStringLiteral("-ts") << ts;
        QProcess lupdate;
        lupdate.start(QStringLiteral(QUORVANE_LUPDATE), arguments);
        QVERIFY(lupdate.waitForFinished(120000));
        QCOMPARE(lupdate.exitCode(), 0);

        QStringList missing;
        const QList<TsEntry> entries = ReadTs(ts);
        QVERIFY(!entries.isEmpty());
        for (const TsEntry &entry : entries) {
            if (entry.unfinished || entry.translation.isEmpty())
                missing << entry.context + u':' + entry.source;
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("no English for: \"%1\"; %2")
                                .arg(missing.join(u"\", \""), HowToFix(tsFile))));

        // Every Chinese string in those sources is (part of) a text lupdate found, so none is
        // shown without passing through the translation.
        QStringList sources;
        for (const TsEntry &entry : entries)
            sources << entry.source;
        const QString known = sources.join(u'\n');
        const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
        QStringList unmarked;
        for (const QString &folder : folders.split(u',')) {
            QDirIterator it(QStringLiteral(QUORVANE_SOURCE_DIR "/") + folder,
                            {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                    line = line.trimmed();
                    if (line.startsWith(u"//"))
                        continue;
                    line.remove(QRegularExpression(QStringLiteral("\\s//[^\"]*$")));
                    for (const auto &match : literal.globalMatch(line)) {
                        QString text = match.captured(1);
                        text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
                        if (text.contains(Han) && !known.contains(text) &&
                            !Untranslated.contains(text))
                            unmarked << it.fileName() + QStringLiteral(": \"") + text + u'"';
                    }
                }
            }
        }
        QVERIFY2(unmarked.isEmpty(),
                 qPrintable(QStringLiteral("Chinese texts not marked for translation (mark them "
                                           "with %1): %2")
                                .arg(howToMark, unmarked.join(u", "))));
    }

private:
    QTranslator m_english;
};

QTEST_GUILESS_MAIN(TranslationTest)
#include "tst_translation.moc"
