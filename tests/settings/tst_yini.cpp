#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "settings/yIni.h"
#include "support/TestFiles.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kDecl = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");
const QString kEmptyDoc = kDecl + QStringLiteral("\r\n<運用>\r\n</運用>");

// A document with the given groups under the root, and one whose only group "画面" holds the
// given value lines.
QString document(const QString &groups)
{
    return kDecl + QStringLiteral("\r\n<運用>\r\n") + groups + QStringLiteral("</運用>");
}
QString screenDocument(const QString &lines)
{
    return document(QStringLiteral("   <画面>\r\n") + lines + QStringLiteral("   </画面>\r\n"));
}
QString line(const QString &key, const QString &text)
{
    return QStringLiteral("      <") + key + u'>' + text + QStringLiteral("</") + key
        + QStringLiteral(">\r\n");
}

// Type and value: a default of the wrong type must not pass for the right one.
QString typed(const QVariant &v)
{
    return QString::fromLatin1(v.typeName()) + u':' + v.toString();
}

} // namespace

class TestYIni : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString freshPath(const QString &name = QStringLiteral("User.xml"))
    {
        const QString folder = m_dir.filePath(QString::number(++m_count));
        QDir().mkpath(folder);
        return folder + u'/' + name;
    }

    // Stores PC_SIZE in the open group and writes the file.
    static bool store(yIni &ini, const QVariant &value = 50, QString *error = nullptr)
    {
        ini.SetVal(QStringLiteral("PC_SIZE"), value);
        ini.SetGtx();
        bool ok = false;
        ini.SetTxt(ok, error);
        return ok;
    }

    // Writes the text as the settings file, reads it and opens group "画面".
    QString load(yIni &ini, const QString &text)
    {
        const QString path = freshPath();
        TestFiles::write(path, Cp932::encode(text));
        bool ok = false;
        ini.GetTxt(path, ok);
        ini.GetGtx(QStringLiteral("画面"));
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        QVERIFY(m_dir.isValid());
    }
    void init() { Dialogs::clearShown(); }
    void cleanup() { yIni::resetDateLocale(); }

    // A missing file is created empty at once, "_DV.xml" (any letter case, first match only)
    // standing for ".xml"; an empty file, or one starting with an empty line, reads as the empty
    // document. The first save writes the six-line file.
    void firstSaveWritesTheSixLineFile_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("used");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char *name, const char *given, const char *used, bool exists,
                            const char *bytes = "") {
            QTest::newRow(name) << QString::fromLatin1(given) << QString::fromLatin1(used) << exists
                                << QByteArray(bytes);
        };
        row("no file", "User.xml", "User.xml", false);
        row("empty file", "User.xml", "User.xml", true);
        row("CR LF first", "User.xml", "User.xml", true,
            "\r\n<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<x>\r\n</x>");
        row("User_DV.xml", "User_DV.xml", "User.xml", false);
        row("user_dv.XML", "user_dv.XML", "user.xml", false);
        row("_DV without point", "User_DVxml", "User_DVxml", false);
        row("only the first _DV", "a_dv.xml_dv.xml", "a.xml_dv.xml", false);
    }
    void firstSaveWritesTheSixLineFile()
    {
        QFETCH(QString, given);
        QFETCH(QString, used);
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        const QString folder = QFileInfo(freshPath()).path();
        const QString path = folder + u'/' + used;
        if (exists)
            TestFiles::write(path, bytes);
        yIni ini;
        bool ok = false;
        ini.GetTxt(folder + u'/' + given, ok);
        QVERIFY(ok);
        QCOMPARE(ini.filePath(), path);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList {used});
        QCOMPARE(QFileInfo(path).size(), bytes.size()); // reading alone never writes
        ini.GetGtx(QStringLiteral("画面"));
        QVERIFY(store(ini));
        QVERIFY(Dialogs::shown().isEmpty());
        const QByteArray expected
            = Cp932::encode(screenDocument(line(QStringLiteral("PC_SIZE"), QStringLiteral("50"))));
        QCOMPARE(TestFiles::read(path), expected);

        // The next start, given the same name, reads the value back as a number and leaves the
        // file as it is.
        yIni again;
        again.GetTxt(folder + u'/' + given, ok);
        again.GetGtx(QStringLiteral("画面"));
        QCOMPARE(typed(again.vGtVal(QStringLiteral("PC_SIZE"), 0)), typed(50.0));
        QCOMPARE(TestFiles::read(path), expected);
    }

    // Text the program does not change comes back byte for byte, whatever it holds: bytes
    // that are no code page 932 character, characters with two codes, a user-defined
    // character, text in UTF-8; in the group the program changes and in another one.
    void untouchedBytesComeBack_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("tail"); // after the root end tag
        const auto row = [](const char *name, const QByteArray &raw, const QByteArray &tail = {}) {
            QTest::newRow(name) << raw << tail;
        };
        row("81 20, no second byte", "\x81\x20");
        row("85 40, unassigned", "\x85\x40");
        row("lone final 82", "", "\x82");
        row("EE EF, also FA 40", "\xEE\xEF");
        row("user-defined F0 40", "\xF0\x40");
        row("UTF-8", QStringLiteral("画面 ü ™ 〜").toUtf8());
        row("control bytes", QByteArray("\x01\x1a\x1c\x7f\t", 5));
        row("plain Shift-JIS", "\x83\x65\x83\x58\x83\x67 \xb1\xb2");
    }
    void untouchedBytesComeBack()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, tail);
        const auto file = [&](const char *size) -> QByteArray {
            return QByteArray("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                              "<\x89\x5e\x97\x70>\r\n"
                              "   <\x89\xe6\x96\xca>\r\n"
                              "      <PC_SIZE>")
                + size + "</PC_SIZE>\r\n      <NOTE>" + raw
                + "</NOTE>\r\n"
                  "   </\x89\xe6\x96\xca>\r\n"
                  "   <\x91\xbc>\r\n      <X>"
                + raw + "</X>\r\n   </\x91\xbc>\r\n</\x89\x5e\x97\x70>" + tail;
        };
        const QString path = freshPath();
        TestFiles::write(path, file("75"));
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(typed(ini.vGtVal(QStringLiteral("PC_SIZE"), 0)), typed(75.0));
        QVERIFY(store(ini));
        QCOMPARE(TestFiles::read(path), file("50"));
        QVERIFY(Dialogs::shown().isEmpty());
    }

    // An unreadable value or group gives the default and one message; a key in another letter
    // case is another key. Storing then adds a complete element and keeps the damaged text, and
    // a document without its root end is closed after the new group.
    void oddDocumentsGainAGoodElement_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("damaged"); // the element reported, if any
        QTest::addColumn<QString>("expected"); // the document after storing PC_SIZE = 50
        const QString v50 = line(QStringLiteral("PC_SIZE"), QStringLiteral("50"));
        for (const QString &bad :
             {QStringLiteral("      <PC_SIZE>75\r\n"), QStringLiteral("      75</PC_SIZE>\r\n"),
              QStringLiteral("      </PC_SIZE>75<PC_SIZE>\r\n")})
            QTest::addRow("%s", qPrintable(bad.trimmed()))
                << screenDocument(bad) << "PC_SIZE" << screenDocument(bad + v50);
        const QString lower = line(QStringLiteral("pc_size"), QStringLiteral("75"));
        QTest::newRow("other letter case")
            << screenDocument(lower) << "" << screenDocument(lower + v50);
        const QString open = QStringLiteral("   <画面>\r\n");
        QTest::newRow("group without end")
            << document(open) << "画面"
            << document(open + open + v50 + QStringLiteral("   </画面>\r\n"));
        const QString root = kDecl + QStringLiteral("\r\n<運用>");
        QTest::newRow("no root end") << root + QStringLiteral("\r\n") << "" << screenDocument(v50);
        QTest::newRow("no root end, mid-line") << root << "" << screenDocument(v50);
    }
    void oddDocumentsGainAGoodElement()
    {
        QFETCH(QString, text);
        QFETCH(QString, damaged);
        QFETCH(QString, expected);
        yIni ini;
        const QString path = load(ini, text);
        QCOMPARE(typed(ini.vGtVal(QStringLiteral("PC_SIZE"), 0)), typed(0));
        const QString message = u'<' + damaged + QStringLiteral("> の設定が読み込めません\r")
            + QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + path + QStringLiteral(") が破損しています");
        QCOMPARE(Dialogs::shownTexts(), damaged.isEmpty() ? QStringList() : QStringList {message});
        if (!damaged.isEmpty())
            QCOMPARE(Dialogs::shown().first().buttons, Dialogs::Buttons::Ok);
        QVERIFY(store(ini));
        QCOMPARE(Cp932::decode(TestFiles::read(path)), expected);
    }

    // A text reads by the default's type: numbers leniently as doubles, booleans as words or
    // numbers, dates in the locale's forms, and empty or unconvertible as the default. A written
    // value is stored as that very text (dates with the full year, times with seconds); where
    // the locale alone decides the text, the value is written and read back. The program reads
    // and writes numbers, booleans and texts; dates keep one row each way.
    void valueTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("def");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QVariant>("written");
        const auto row = [](const char *name, const char *text, const QVariant &def,
                            const QVariant &expected, const QVariant &written = QVariant()) {
            QTest::newRow(name) << QString::fromUtf8(text) << def << expected << written;
        };
        row("int", "50", 0, 50.0, 50);
        row("double", "0.1", 0, 0.1, 0.1);
        row("75abc", "75abc", 0, 75.0);
        row("abc", "abc", 0, 0.0);
        row("empty", "", 0, 0);
        row("True", "True", false, true, true);
        row("False", "False", true, false, false);
        row("zero", "0", true, false);
        row("empty keeps true", "", true, true);
        row("unconvertible keeps true", "yes", true, true);
        row("text", " 画 ", QStringLiteral("x"), QStringLiteral(" 画 "), QStringLiteral(" 画 "));
        const QDate def(2000, 1, 1), day(2024, 3, 5);
        const QDateTime moment(day, QTime(13, 45, 30));
        row("US date", "3/5/2024", def, day, day);
        row("US time", "", QDateTime(), moment, moment);
        row("not a date", "soon", def, def);
    }
    void valueTexts()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, def);
        QFETCH(QVariant, expected);
        QFETCH(QVariant, written);
        yIni::setDateLocale(QLocale(QStringLiteral("en_US")));
        const bool localeText = text.isEmpty() && written.isValid();
        const QString key = QStringLiteral("K");
        yIni ini;
        load(ini, screenDocument(localeText ? QString() : line(key, text)));
        if (localeText)
            ini.SetVal(key, written);
        QCOMPARE(typed(ini.vGtVal(key, def)), typed(expected));
        if (written.isValid() && !localeText) {
            ini.SetVal(key, written); // in place of the line read
            QCOMPARE(ini.groupText(), line(key, text));
        }
    }

    // Values and groups are replaced where they stand and new ones go last; a group closed
    // unchanged, however odd its spacing, leaves the document as it was.
    void storingKeepsEverythingInPlace()
    {
        const auto group = [](const char *name, const QString &lines) -> QString {
            const QString n = QString::fromUtf8(name);
            return QStringLiteral("   <") + n + QStringLiteral(">\r\n") + lines
                + QStringLiteral("   </") + n + QStringLiteral(">\r\n");
        };
        const QString abc
            = QStringLiteral("      <A>1</A>\r\n      <B>2</B>\r\n      <C>3</C>\r\n");
        const QString two = group("二", QStringLiteral(" x \r\n\r\n  "));
        yIni ini;
        load(ini, document(group("一", abc) + two));
        ini.GetGtx(QStringLiteral("二"));
        QCOMPARE(ini.groupText(), QStringLiteral(" x \r\n\r\n  "));
        ini.SetGtx();
        QCOMPARE(ini.documentText(), document(group("一", abc) + two));
        ini.SetVal(QStringLiteral("K"), 20); // dropped by the next GetGtx without SetGtx

        ini.GetGtx(QStringLiteral("一"));
        QCOMPARE(ini.groupText(), abc);
        ini.SetVal(QStringLiteral("B"), QString()); // emptied, still in place
        ini.SetVal(QStringLiteral("D"), QStringLiteral("x"));
        // "‡" marks line breaks only while a new line is built.
        ini.SetVal(QStringLiteral("A"), QStringLiteral("a‡b"));
        ini.SetVal(QStringLiteral("E"), QStringLiteral("c‡d"));
        ini.SetGtx();
        const QString one = group("一",
                                  QStringLiteral("      <A>a‡b</A>\r\n      <B></B>\r\n"
                                                 "      <C>3</C>\r\n      <D>x</D>\r\n"
                                                 "      <E>c\r\nd</E>\r\n"));
        QCOMPARE(ini.documentText(), document(one + two));

        ini.GetGtx(QStringLiteral("新"));
        QCOMPARE(ini.groupText(), QString());
        ini.SetVal(QStringLiteral("N"), 1);
        ini.SetVal(QStringLiteral("M"), QStringLiteral("two"));
        ini.SetGtx();
        const QString nm = QStringLiteral("      <N>1</N>\r\n      <M>two</M>\r\n");
        QCOMPARE(ini.documentText(), document(one + two + group("新", nm)));
        ini.GetGtx(QStringLiteral("一"));
        ini.GetGtx(QStringLiteral("新"));
        QCOMPARE(ini.groupText(), nm);
        QVERIFY(Dialogs::shown().isEmpty());
    }

    // An empty group reads as empty; so does one squeezed onto fewer lines than written, without
    // a message and without reaching into the next group.
    void emptyGroupsReadEmpty_data()
    {
        QTest::addColumn<QString>("groups");
        const QString next
            = QStringLiteral("   <二>\r\n      <PC_SIZE>75</PC_SIZE>\r\n   </二>\r\n");
        QTest::newRow("empty") << QStringLiteral("   <画面>\r\n   </画面>\r\n") + next;
        QTest::newRow("squeezed, one line") << QStringLiteral("<画面></画面>\r\n") + next;
        QTest::newRow("squeezed, no indent") << QStringLiteral("<画面>\r\n</画面>\r\n") + next;
    }
    void emptyGroupsReadEmpty()
    {
        QFETCH(QString, groups);
        yIni ini;
        load(ini, document(groups));
        QCOMPARE(ini.groupText(), QString());
        QVERIFY(Dialogs::shown().isEmpty());
    }

    // A failed read (a FIFO, which is no regular file, a file too large, a missing folder) or a
    // failed write says why, and what was there stays as it was: an unreadable file is never
    // replaced.
    void failuresKeepWhatIsThere_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("readable");
        QTest::newRow("read: FIFO, empty to a read that does not wait") << "fifo" << false;
        QTest::newRow("read: larger than 1 MiB") << "large" << false;
        QTest::newRow("read: folder missing") << "missing" << false;
        QTest::newRow("write: file replaced by a folder") << "replaced" << true;
    }
    void failuresKeepWhatIsThere()
    {
        QFETCH(QString, how);
        QFETCH(bool, readable);
        const QString path
            = how == u"missing" ? m_dir.filePath(QStringLiteral("no/such/User.xml")) : freshPath();
        const QString folder = QFileInfo(path).path();
        const QString old = screenDocument(line(QStringLiteral("PC_SIZE"), QStringLiteral("75")));
        QString kept = path; // where the old text must still be
        if (how == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (how == u"large") {
            TestFiles::write(kept, Cp932::encode(old));
            QFile f(kept);
            QVERIFY(f.resize(1024 * 1024 + 1));
        } else if (how != u"missing") {
            TestFiles::write(kept, Cp932::encode(old));
        }
        const QByteArray before = how == u"large" ? TestFiles::read(kept) : QByteArray();
        yIni ini;
        bool ok = !readable;
        QString error;
        ini.GetTxt(path, ok, &error);
        QCOMPARE(ok, readable);
        QCOMPARE(error.isEmpty(), readable);
        QVERIFY2(readable || error.contains(path), qPrintable(error));
        QCOMPARE(ini.documentText(), readable ? old : kEmptyDoc);
        ini.GetGtx(QStringLiteral("画面"));
        if (how == u"replaced") {
            kept = path + QStringLiteral(".keep");
            QVERIFY(QFile::rename(path, kept));
            QVERIFY(QDir().mkdir(path));
        }
        error.clear();
        QVERIFY(!store(ini, 32, &error));
        QVERIFY(!error.isEmpty());
        if (how == u"missing") {
            QVERIFY(!QFileInfo::exists(folder)); // never made by a write
            return;
        }
        if (how == u"large")
            QCOMPARE(TestFiles::read(kept), before);
        else if (how == u"fifo")
            QVERIFY(QFileInfo::exists(path) && !QFileInfo(path).isFile());
        else
            QCOMPARE(Cp932::decode(TestFiles::read(kept)), old);
        // No temporary file is left beside it.
        QCOMPARE(QDir(QFileInfo(kept).path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList {QFileInfo(kept).fileName()});
    }

    // A file an editor saved as UTF-8 is read as UTF-8 and written back so, its mark kept;
    // nothing ever goes after the root element, and a text without one is not replaced.
    void utf8FileStaysUtf8_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<QString>("root");
        const QString utf8Decl = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        QTest::newRow("mark") << QByteArray("\xEF\xBB\xBF") << kDecl << QStringLiteral("運用");
        QTest::newRow("declaration") << QByteArray() << utf8Decl << QStringLiteral("運用");
        QTest::newRow("bytes alone") << QByteArray() << kDecl << QStringLiteral("運用");
        QTest::newRow("other root") << QByteArray() << utf8Decl << QStringLiteral("設定");
    }
    void utf8FileStaysUtf8()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, declaration);
        QFETCH(QString, root);
        const auto text = [&](const QString &lines) -> QString {
            return declaration + QStringLiteral("\r\n<") + root
                + QStringLiteral(">\r\n   <画面>\r\n") + lines + QStringLiteral("   </画面>\r\n</")
                + root + u'>';
        };
        const QString note = line(QStringLiteral("NOTE"), QStringLiteral("ﾒﾓ 日本語"));
        const QByteArray before
            = head + text(line(QStringLiteral("PC_SIZE"), QStringLiteral("75")) + note).toUtf8();
        const QString path = freshPath();
        TestFiles::write(path, before);
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(typed(ini.vGtVal(QStringLiteral("PC_SIZE"), 0)), typed(75.0));
        const bool ours = root == u"運用";
        ini.GetGtx(QStringLiteral("他"));
        QCOMPARE(store(ini), ours);
        const QString other = QStringLiteral("   <他>\r\n")
            + line(QStringLiteral("PC_SIZE"), QStringLiteral("50"))
            + QStringLiteral("   </他>\r\n");
        QCOMPARE(
            TestFiles::read(path),
            ours ? head
                    + text(line(QStringLiteral("PC_SIZE"), QStringLiteral("75")) + note)
                          .replace(QStringLiteral("</運用>"), other + QStringLiteral("</運用>"))
                          .toUtf8()
                 : before);
    }

    // Without the code page 932 converter nothing is read, made or written, and the reason
    // names the file.
    void withoutTheConverterNothingIsWritten()
    {
        const QByteArray old = Cp932::encode(kEmptyDoc);
        Cp932::setConverterName("no-such-code-page");
        const auto restore = qScopeGuard([] { Cp932::setConverterName({}); });
        QVERIFY(!Cp932::isAvailable());
        for (const bool exists : {false, true}) {
            const QString path = freshPath();
            if (exists)
                TestFiles::write(path, old);
            yIni ini;
            bool ok = true;
            QString error;
            ini.GetTxt(path, ok, &error);
            QVERIFY(!ok);
            QVERIFY2(error.contains(path) && error.contains(Cp932::unavailableText()),
                     qPrintable(error));
            ini.GetGtx(QStringLiteral("画面"));
            QVERIFY(!store(ini));
            QCOMPARE(QFileInfo::exists(path), exists);
            if (exists)
                QCOMPARE(TestFiles::read(path), old);
        }
    }
};

QTEST_GUILESS_MAIN(TestYIni)
#include "tst_yini.moc"
