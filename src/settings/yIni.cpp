#include "yIni.h"

#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(yIni)
};

const QString kCrLf = QStringLiteral("\r\n");
const QString kRoot = QStringLiteral("運用");
const QString kRootEnd = QStringLiteral("</運用>");
const QString kDeclaration = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");
// The document holds at most 32,767 characters; a file much larger is not a settings file.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

std::optional<QLocale> &pinnedLocale()
{
    static std::optional<QLocale> locale;
    return locale;
}

QString startTag(const QString &name)
{
    return QLatin1Char('<') + name + QLatin1Char('>');
}
QString endTag(const QString &name)
{
    return QLatin1String("</") + name + QLatin1Char('>');
}

// "‡" marks every line break while the text is built and becomes CR LF at the end, also
// inside the content.
QString buildElement(int mode, const QString &name, const QString &content)
{
    QString s;
    switch (mode) {
    case 0: s = kDeclaration + u'‡' + startTag(name) + content + endTag(name); break;
    case 1:
        s = QLatin1String("   ") + startTag(name) + u'‡' + content + QLatin1String("   ")
            + endTag(name) + u'‡';
        break;
    default: s = QLatin1String("      ") + startTag(name) + content + endTag(name) + u'‡'; break;
    }
    s.replace(u'‡', kCrLf);
    return s;
}

template<typename T> QString shortest(T value)
{
    std::array<char, 64> buf {};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return QString::fromLatin1(buf.data(), r.ptr - buf.data());
}

// A two-digit year would come back a century off, so dates are always written with four.
QString widenYear(QString format)
{
    static const QRegularExpression twoDigits(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigits, QStringLiteral("yyyy"));
    return format;
}

QString dateFormat(const QLocale &l)
{
    return widenYear(l.dateFormat(QLocale::ShortFormat));
}

QString dateTimeFormat(const QLocale &l)
{
    QString time = l.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1String("ss")))
        time.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return dateFormat(l) + u' ' + time;
}

QDate parseDate(const QString &s)
{
    const QLocale l = yIni::dateLocale();
    const QString t = s.trimmed();
    for (const QString &f :
         {dateFormat(l), l.dateFormat(QLocale::ShortFormat), l.dateFormat(QLocale::LongFormat)}) {
        const QDate d = l.toDate(t, f);
        if (d.isValid())
            return d;
    }
    return QDate::fromString(t, Qt::ISODate);
}

QDateTime parseDateTime(const QString &s)
{
    const QLocale l = yIni::dateLocale();
    const QString t = s.trimmed();
    for (const QString &f : {dateTimeFormat(l), l.dateTimeFormat(QLocale::ShortFormat),
                             l.dateTimeFormat(QLocale::LongFormat)}) {
        const QDateTime d = l.toDateTime(t, f);
        if (d.isValid())
            return d;
    }
    const QDateTime iso = QDateTime::fromString(t, Qt::ISODate);
    if (iso.isValid())
        return iso;
    const QDate day = parseDate(t); // a date alone stands for its midnight
    return day.isValid() ? day.startOfDay() : QDateTime();
}

std::optional<bool> parseBool(const QString &s)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (ok)
        return d != 0.0;
    return std::nullopt;
}

// A settings file an editor saved as UTF-8: with a byte-order mark, with a declaration saying
// so, or with bytes that are UTF-8 and no code page 932 text. Bytes that are no UTF-8 always
// stay code page 932, where every byte comes back as it was.
bool isUtf8(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return false;
    static const QRegularExpression declared(
        QStringLiteral("^<\\?xml[^>]*encoding\\s*=\\s*[\"']utf-?8[\"']"),
        QRegularExpression::CaseInsensitiveOption);
    if (declared.match(text).hasMatch())
        return true;
    const QString cp932 = Cp932::decodeKeepingBytes(bytes);
    return std::any_of(cp932.begin(), cp932.end(), [](QChar c) {
        return c.unicode() >= Cp932::keptByteBase && c.unicode() <= Cp932::keptByteBase + 0xFF;
    });
}

} // namespace

yIni::yIni() = default;

QString yIni::emptyDocument()
{
    return buildElement(0, kRoot, kCrLf);
}

QLocale yIni::dateLocale()
{
    return pinnedLocale().value_or(QLocale::system());
}
void yIni::setDateLocale(const QLocale &locale)
{
    pinnedLocale() = locale;
}
void yIni::resetDateLocale()
{
    pinnedLocale().reset();
}

QString yIni::valueText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar: return QString::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: return QString::number(v.toULongLong());
    case QMetaType::Double: return shortest(v.toDouble());
    case QMetaType::Float: return shortest(v.toFloat());
    case QMetaType::QDate: return dateLocale().toString(v.toDate(), dateFormat(dateLocale()));
    case QMetaType::QDateTime:
        return dateLocale().toString(v.toDateTime(), dateTimeFormat(dateLocale()));
    default: return v.toString();
    }
}

QString yIni::MkElm(int mode, const QString &name, const QVariant &content)
{
    return buildElement(mode, name, valueText(content));
}

QString yIni::GtElm(int mode, const QString &name)
{
    const QString &src = mode == 0 ? sTxt : sGtx;
    const qsizetype p1 = src.indexOf(startTag(name));
    const qsizetype p2 = src.indexOf(endTag(name));
    if (src.isEmpty() || (p1 < 0 && p2 < 0))
        return QString();
    if (p1 >= 0 && p2 >= p1) {
        const qsizetype s = p1 + name.size() + 2; // first character after the start tag
        // A group squeezed onto fewer lines than written would give a negative length.
        if (mode == 0)
            return src.mid(s + 2, qMax<qsizetype>(0, p2 - s - 5));
        return src.mid(s, qMax<qsizetype>(0, p2 - s));
    }
    Dialogs::message(Tr::tr("%1 の設定が読み込めません").arg(startTag(name)) + u'\r'
                         + Tr::tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) が破損しています").arg(sFlPh),
                     Dialogs::Buttons::Ok);
    return QString();
}

void yIni::GetTxt(const QString &sFL, bool &bOk, QString *error)
{
    sTxt.clear();
    bUnread = false;
    bNoRoot = false;
    m_bom.clear();
    m_utf8 = false;
    sFlPh = sFL;
    static const QRegularExpression dv(QStringLiteral("_DV\\.xml"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = dv.match(sFlPh);
    if (m.hasMatch())
        sFlPh.replace(m.capturedStart(), m.capturedLength(), QStringLiteral(".xml"));

    bOk = true;
    // pattern: %1 the file, %2 the reason.
    const auto refuse = [&](const QString &pattern, const QString &reason) {
        bOk = false;
        if (error)
            *error = pattern.arg(QDir::toNativeSeparators(sFlPh), reason);
    };
    QString reason;
    if (!Cp932::isAvailable()) {
        // The text could be neither read nor written back as it is.
        bUnread = true;
        refuse(Tr::tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を読み込めません: %2"), Cp932::unavailableText());
    } else {
        QByteArray bytes;
        switch (TextFile::readRegular(sFlPh, kMaxFileBytes, &bytes, &reason)) {
        case TextFile::ReadResult::Read:
            m_utf8 = isUtf8(bytes);
            if (m_utf8 && bytes.startsWith("\xEF\xBB\xBF")) {
                m_bom = bytes.left(3);
                bytes.remove(0, 3);
            }
            // A file that starts with an empty line counts as empty.
            if (!bytes.isEmpty() && bytes.front() != '\r' && bytes.front() != '\n')
                sTxt = m_utf8 ? QString::fromUtf8(bytes) : Cp932::decodeKeepingBytes(bytes);
            break;
        case TextFile::ReadResult::Failed:
            bUnread = true;
            refuse(Tr::tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を読み込めません: %2"), reason);
            break;
        case TextFile::ReadResult::Missing: {
            QFile file(sFlPh);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                refuse(Tr::tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を作成できません: %2"), file.errorString());
            break;
        }
        }
    }
    if (sTxt.isEmpty())
        sTxt = emptyDocument();
}

void yIni::GetGtx(const QString &sGp)
{
    sGpNm = sGp;
    sGtx = GtElm(0, sGp);
}

QVariant yIni::vGtVal(const QString &sKy, const QVariant &vDef)
{
    const QString s = GtElm(1, sKy);
    switch (vDef.typeId()) {
    case QMetaType::QString: return s.isEmpty() ? vDef : QVariant(s);
    case QMetaType::Bool: {
        if (s.isEmpty())
            return vDef;
        const std::optional<bool> b = parseBool(s);
        return b ? QVariant(*b) : vDef;
    }
    case QMetaType::QDate: {
        const QDate d = s.isEmpty() ? QDate() : parseDate(s);
        return d.isValid() ? QVariant(d) : vDef;
    }
    case QMetaType::QDateTime: {
        const QDateTime d = s.isEmpty() ? QDateTime() : parseDateTime(s);
        return d.isValid() ? QVariant(d) : vDef;
    }
    default: return s.isEmpty() ? vDef : QVariant(NumberText::lenient(s));
    }
}

void yIni::SetVal(const QString &sKy, const QVariant &vVL)
{
    const qsizetype p1 = sGtx.indexOf(startTag(sKy));
    if (p1 >= 0) {
        const qsizetype b = p1 + sKy.size() + 1; // the start tag's ">"
        const qsizetype p2 = sGtx.indexOf(endTag(sKy), b + 1);
        if (p2 >= 0) {
            sGtx = sGtx.left(b + 1) + valueText(vVL) + sGtx.mid(p2);
            return;
        }
    }
    sGtx += MkElm(2, sKy, vVL);
}

void yIni::SetGtx()
{
    if (sTxt.isEmpty())
        sTxt = emptyDocument();
    const qsizetype p1 = sTxt.indexOf(startTag(sGpNm));
    if (p1 >= 0) {
        const qsizetype c = p1 + sGpNm.size() + 4; // start tag and its line end
        const qsizetype p2 = sTxt.indexOf(endTag(sGpNm), c - 1);
        if (p2 >= 0) {
            sTxt = sTxt.left(c) + sGtx + QLatin1String("   ") + sTxt.mid(p2);
            return;
        }
    }
    const QString group = MkElm(1, sGpNm, sGtx);
    const qsizetype p = sTxt.indexOf(kRootEnd);
    if (p >= 0) {
        sTxt = sTxt.left(p) + group + sTxt.mid(p);
        return;
    }
    // Nothing is ever written outside the root element: without its start tag the text is
    // left alone (and SetTxt keeps the file); with it, the document is closed after the group.
    if (!sTxt.contains(startTag(kRoot))) {
        bNoRoot = true;
        return;
    }
    if (!sTxt.endsWith(u'\n'))
        sTxt += kCrLf;
    sTxt += group + kRootEnd;
}

void yIni::SetTxt(bool &bOk, QString *error)
{
    if (sFlPh.isEmpty())
        return;
    if (bUnread) {
        bOk = false;
        if (error)
            *error = QStringLiteral("the settings file could not be read, so it is not replaced");
        return;
    }
    if (bNoRoot) {
        bOk = false;
        if (error)
            *error = Tr::tr("%1 の要素がありません").arg(startTag(kRoot));
        return;
    }
    QString reason;
    // Written back in the encoding it came in.
    const QByteArray bytes = m_utf8 ? m_bom + sTxt.toUtf8() : Cp932::encodeKeepingBytes(sTxt);
    bOk = TextFile::writeAtomic(sFlPh, bytes, &reason);
    if (!bOk && error)
        *error = reason;
}
