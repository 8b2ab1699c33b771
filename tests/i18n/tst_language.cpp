#include "bookmarks/BookmarkTransfer.h"
#include "settings/Language.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QTest>

// Which language the program speaks, and what installing it changes.
class TestLanguage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Language::install(Language::Choice::Japanese); }

    // The locale alone: Japanese and C/POSIX (no language at all) keep the program's own; an
    // explicit setting wins both ways; anything else leaves it to the locale.
    void choice_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        const auto row = [](const char *setting, const char *locale, bool english) {
            QTest::addRow("%s over %s", setting, locale) << setting << locale << english;
        };
        for (const char *locale : {"ja_JP", "ja", "C", "POSIX"})
            row("", locale, false);
        for (const char *locale : {"en_US", "de_DE", "zh_CN"})
            row("", locale, true);
        row("en", "ja_JP", true);
        row("en", "C", true);
        row("ja", "en_US", false);
        row(" EN ", "ja_JP", true);
        row("Ja", "fr_FR", false);
        row("fr", "ja_JP", false);
        row("english", "ja_JP", false);
        row("japanese", "en_US", true);
    }
    void choice()
    {
        QFETCH(QString, setting);
        QFETCH(QString, locale);
        QFETCH(bool, english);
        QCOMPARE(Language::choose(setting, QLocale(locale)),
                 english ? Language::Choice::English : Language::Choice::Japanese);
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
