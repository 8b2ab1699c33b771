#include "output/BookmarkTransfer.h"
#include "platform/Cp932.h"
#include "settings/Language.h"
#include "settings/yIni.h"

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTest>

// Which language the program speaks, and what installing it changes.
class TestLanguage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    // A settings file as the program writes it, with the given group text.
    QString settingsFile(const QString &name, const QString &group)
    {
        const QString path = m_tmp.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(Cp932::encode(QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                                             "<運用>\r\n   <画面>\r\n")
                              + group + QStringLiteral("   </画面>\r\n</運用>")));
        return path;
    }

private Q_SLOTS:
    void cleanup() { Language::install(Language::Choice::Japanese); }

    void choice_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        // The locale alone: Japanese, and C/POSIX (no language at all), keep the program's own.
        QTest::newRow("ja_JP") << QString() << "ja_JP" << false;
        QTest::newRow("ja") << QString() << "ja" << false;
        QTest::newRow("C") << QString() << "C" << false;
        QTest::newRow("POSIX") << QString() << "POSIX" << false;
        QTest::newRow("en_US") << QString() << "en_US" << true;
        QTest::newRow("en_GB") << QString() << "en_GB" << true;
        QTest::newRow("de_DE") << QString() << "de_DE" << true;
        QTest::newRow("fr_FR") << QString() << "fr_FR" << true;
        QTest::newRow("zh_CN") << QString() << "zh_CN" << true;
        // An explicit setting wins, both ways; anything else leaves it to the locale.
        QTest::newRow("en over ja_JP") << "en"
                                       << "ja_JP" << true;
        QTest::newRow("en over C") << "en"
                                   << "C" << true;
        QTest::newRow("ja over en_US") << "ja"
                                       << "en_US" << false;
        QTest::newRow("ja over de_DE") << "ja"
                                       << "de_DE" << false;
        QTest::newRow("EN, spaces") << " EN "
                                    << "ja_JP" << true;
        QTest::newRow("Ja") << "Ja"
                            << "fr_FR" << false;
        QTest::newRow("unknown fr") << "fr"
                                    << "ja_JP" << false;
        QTest::newRow("unknown english") << "english"
                                         << "ja_JP" << false;
        QTest::newRow("unknown, en_US") << "japanese"
                                        << "en_US" << true;
    }
    void choice()
    {
        QFETCH(QString, setting);
        QFETCH(QString, locale);
        QFETCH(bool, english);
        const Language::Choice expected
            = english ? Language::Choice::English : Language::Choice::Japanese;
        QCOMPARE(Language::choose(setting, QLocale(locale)), expected);
    }

    void settingOfFile()
    {
        const QString en = settingsFile(QStringLiteral("en.xml"),
                                        QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n"
                                                       "      <LANG>en</LANG>\r\n"));
        QFile f(en);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        QCOMPARE(Language::settingInFile(en), QStringLiteral("en"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before); // read, never written

        const QString none = settingsFile(QStringLiteral("none.xml"),
                                          QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n"));
        QCOMPARE(Language::settingInFile(none), QString());

        // A missing file stays missing.
        const QString missing = m_tmp.filePath(QStringLiteral("missing.xml"));
        QCOMPARE(Language::settingInFile(missing), QString());
        QVERIFY(!QFileInfo::exists(missing));
    }

    void settingOfIni()
    {
        yIni ini;
        bool ok = false;
        ini.GetTxt(
            settingsFile(QStringLiteral("ja.xml"), QStringLiteral("      <LANG>ja</LANG>\r\n")),
            ok);
        QVERIFY(ok);
        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(Language::settingOf(ini), QStringLiteral("ja"));
    }

    // English replaces the program's texts; Japanese takes the translation away again.
    void install()
    {
        const QString path = QStringLiteral("/tmp/x.html");
        const QString japanese = QStringLiteral("3 件のﾘﾝｸを /tmp/x.html に書き出しました");
        QCOMPARE(Language::installed(), Language::Choice::Japanese);
        QCOMPARE(BookmarkTransfer::exportedText(path, 3), japanese);

        QVERIFY(Language::install(Language::Choice::English));
        QCOMPARE(Language::installed(), Language::Choice::English);
        QCOMPARE(BookmarkTransfer::exportedText(path, 3),
                 QStringLiteral("Exported 3 links to /tmp/x.html"));
        QCOMPARE(BookmarkTransfer::exportedText(path, 1),
                 QStringLiteral("Exported 1 link to /tmp/x.html"));
        // Installing twice leaves one translation in place.
        QVERIFY(Language::install(Language::Choice::English));
        QVERIFY(Language::install(Language::Choice::Japanese));
        QCOMPARE(Language::installed(), Language::Choice::Japanese);
        QCOMPARE(BookmarkTransfer::exportedText(path, 3), japanese);
    }

    // Qt's own texts (the buttons of its dialogs) in Japanese when asked for and installed.
    void qtTexts()
    {
        const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
        QCOMPARE(cancel, QStringLiteral("Cancel"));
        QVERIFY(Language::install(Language::Choice::Japanese, false));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
        QVERIFY(Language::install(Language::Choice::English, true));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                               + QStringLiteral("/qtbase_ja.qm")))
            QSKIP("Qt's Japanese translations (qt6-translations-l10n) are not installed");
        QVERIFY(Language::install(Language::Choice::Japanese, true));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 QStringLiteral("キャンセル"));
        QVERIFY(Language::install(Language::Choice::English, true));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"
