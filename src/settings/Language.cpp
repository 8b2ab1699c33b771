#include "Language.h"

#include "platform/SystemText.h"
#include "settings/yIni.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace Language {
namespace {

Choice g_installed = Choice::Japanese;

// Kept for the whole run: an installed translator must outlive its use.
std::unique_ptr<QTranslator> &programTexts()
{
    static std::unique_ptr<QTranslator> t;
    return t;
}
std::unique_ptr<QTranslator> &qtTextsJa()
{
    static std::unique_ptr<QTranslator> t;
    return t;
}
std::unique_ptr<QTranslator> &systemTextsJa()
{
    static std::unique_ptr<QTranslator> t;
    return t;
}

void remove(std::unique_ptr<QTranslator> &t)
{
    if (t) {
        QCoreApplication::removeTranslator(t.get());
        t.reset();
    }
}

} // namespace

QString settingKey()
{
    return QStringLiteral("LANG");
}

std::optional<Choice> fromSetting(const QString &value)
{
    const QString v = value.trimmed().toLower();
    if (v == u"ja")
        return Choice::Japanese;
    if (v == u"en")
        return Choice::English;
    return std::nullopt;
}

Choice fromLocale(const QLocale &locale)
{
    // QLocale reads LC_ALL, LC_MESSAGES and LANG (and LANGUAGE); "C" and "POSIX" come out
    // as the C locale.
    if (locale.language() == QLocale::Japanese || locale.language() == QLocale::C)
        return Choice::Japanese;
    return Choice::English;
}

Choice choose(const QString &setting, const QLocale &locale)
{
    return fromSetting(setting).value_or(fromLocale(locale));
}

QString settingOf(yIni &ini)
{
    return ini.vGtVal(settingKey(), QString()).toString();
}

QString settingInFile(const QString &settingsFile)
{
    // GetTxt makes a missing file: it is only read when it is there.
    if (!QFileInfo(settingsFile).isFile())
        return QString();
    yIni ini;
    bool ok = false;
    ini.GetTxt(settingsFile, ok);
    if (!ok)
        return QString();
    ini.GetGtx(QStringLiteral("画面"));
    return settingOf(ini);
}

bool install(Choice choice, bool qtTexts)
{
    remove(programTexts());
    remove(qtTextsJa());
    remove(systemTextsJa());
    g_installed = Choice::Japanese;
    if (choice == Choice::English) {
        auto t = std::make_unique<QTranslator>();
        if (!t->load(QStringLiteral(":/i18n/linkwell_en.qm")))
            return false;
        QCoreApplication::installTranslator(t.get());
        programTexts() = std::move(t);
        g_installed = Choice::English;
        return true;
    }
    if (qtTexts) {
        // Optional: without the system's Qt translations Qt's few texts stay English.
        auto t = std::make_unique<QTranslator>();
        if (t->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(t.get());
            qtTextsJa() = std::move(t);
        }
    }
    // The system's reasons in Japanese too, whatever the locale gives.
    systemTextsJa() = std::make_unique<SystemText::Translator>();
    QCoreApplication::installTranslator(systemTextsJa().get());
    return true;
}

Choice installed()
{
    return g_installed;
}

} // namespace Language
