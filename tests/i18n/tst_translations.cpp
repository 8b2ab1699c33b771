#include "settings/Language.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// One message of the .ts file.
struct Message
{
    QString context;
    QString source;
    bool numerus = false;
    QString type; // the translation's type attribute: empty when finished
    QStringList forms; // the translation, or its numerus forms
};

QList<Message> readTs(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return {};
    }
    QList<Message> messages;
    QXmlStreamReader xml(&f);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            m = {context, {}, xml.attributes().value(QLatin1String("numerus")) == u"yes", {}, {}};
        } else if (xml.name() == u"source") {
            m.source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            if (!m.numerus) {
                m.forms = {xml.readElementText()};
                messages.append(m);
            }
        } else if (xml.name() == u"numerusform") {
            m.forms << xml.readElementText();
            // The forms come one after the other; the message is complete with the second.
            if (m.forms.size() == 2)
                messages.append(m);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression p(QStringLiteral("%(\\d+|n)"));
    QSet<QString> found;
    for (auto it = p.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

// Mnemonics: "&" before a character other than "&".
int mnemonics(const QString &text)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'&') {
            if (text[i + 1] != u'&')
                ++n;
            ++i;
        }
    }
    return n;
}

bool hasJapanese(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30ff) || (u >= 0x4e00 && u <= 0x9fff)
            || (u >= 0xff01 && u <= 0xff9f))
            return true;
    }
    return false;
}

QString key(const Message &m)
{
    return m.context + QStringLiteral(" / ") + m.source;
}

} // namespace

// The English translation: complete, up to date with the sources, and the one built in.
class TestTranslations : public QObject
{
    Q_OBJECT
private:
    QList<Message> m_messages;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        m_messages = readTs(QStringLiteral(LINKWELL_TS_FILE), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(m_messages.size() > 150);
    }
    void cleanupTestCase() { Language::install(Language::Choice::Japanese); }

    // lupdate over today's sources changes nothing in the committed file: no text was added,
    // changed or dropped without the translation following.
    void upToDate()
    {
        QTemporaryDir tmp;
        const QString copy = tmp.filePath(QStringLiteral("linkwell_en.ts"));
        QVERIFY(QFile::copy(QStringLiteral(LINKWELL_TS_FILE), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(LINKWELL_LUPDATE),
                      QStringLiteral(LINKWELL_LUPDATE_OPTIONS).split(u'|')
                          + QStringList {QStringLiteral(LINKWELL_SOURCE_DIR "/src"),
                                         QStringLiteral("-ts"), copy});
        QVERIFY(lupdate.waitForFinished(120000));
        const QString output = QString::fromLocal8Bit(lupdate.readAll());
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 qPrintable(output));

        QString error;
        const QList<Message> fresh = readTs(copy, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QSet<QString> committed, current;
        for (const Message &m : std::as_const(m_messages))
            committed.insert(key(m));
        for (const Message &m : fresh)
            current.insert(key(m));
        const QStringList added = QSet(current).subtract(committed).values();
        const QStringList gone = QSet(committed).subtract(current).values();
        QVERIFY2(
            added.isEmpty() && gone.isEmpty(),
            qPrintable(QStringLiteral("run the update_translations target and translate; new: ")
                       + added.join(u'\n') + QStringLiteral("\ngone: ") + gone.join(u'\n')));
        QFile a(QStringLiteral(LINKWELL_TS_FILE)), b(copy);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY2(a.readAll() == b.readAll(), "run the update_translations target and commit");
        // lupdate finds no text it cannot place in a context.
        QVERIFY2(!output.contains(QStringLiteral("Qualifying with unknown"))
                     && !output.contains(QStringLiteral("Cannot invoke tr()")),
                 qPrintable(output));
    }

    // Every text has its English: finished, without Japanese, with the same placeholders and
    // with a mnemonic where the Japanese has one.
    void complete()
    {
        QStringList faults;
        for (const Message &m : std::as_const(m_messages)) {
            const auto fault = [&](const char *what) {
                faults << key(m) + QStringLiteral(": ") + QLatin1String(what);
            };
            if (!m.type.isEmpty())
                fault("not finished");
            if (m.forms.size() != (m.numerus ? 2 : 1))
                fault("wrong number of forms");
            for (const QString &t : m.forms) {
                if (t.trimmed().isEmpty())
                    fault("empty");
                if (hasJapanese(t))
                    fault("Japanese in the English");
                if (placeholders(t) != placeholders(m.source))
                    fault("placeholders differ");
                if (mnemonics(m.source) > 0 && mnemonics(t) != 1)
                    fault("one mnemonic expected");
                if (mnemonics(t) > 1)
                    fault("more than one mnemonic");
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
