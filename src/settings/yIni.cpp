#include "yIni.h"

#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "platform/TextFile.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QLocale>

namespace {

const QString kRoot = QStringLiteral("運用");
const QString kCrLf = QStringLiteral("\r\n");
const QChar kBreak = QChar(0x2021); // "‡" marks a line break while building

} // namespace

QString yIni::valueText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
        // Shortest text that reads back as the same number.
        const double d = v.toDouble();
        QString t = QString::number(d, 'g', QLocale::FloatingPointShortest);
        return t;
    }
    case QMetaType::QDate:
        return QLocale::system().toString(v.toDate(), QLocale::ShortFormat);
    case QMetaType::QDateTime:
        return QLocale::system().toString(v.toDateTime(), QLocale::ShortFormat);
    default:
        return v.toString();
    }
}

QString yIni::MkElm(int mode, const QString &name, const QVariant &content)
{
    const QString c = valueText(content);
    QString s;
    switch (mode) {
    case 0:
        s = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>") + kBreak + u'<' + name
            + u'>' + c + QStringLiteral("</") + name + u'>';
        break;
    case 1:
        s = QStringLiteral("   <") + name + u'>' + kBreak + c + QStringLiteral("   </") + name + u'>'
            + kBreak;
        break;
    default:
        s = QStringLiteral("      <") + name + u'>' + c + QStringLiteral("</") + name + u'>' + kBreak;
        break;
    }
    s.replace(kBreak, kCrLf);
    return s;
}

QString yIni::GtElm(int mode, const QString &name)
{
    const QString &src = mode == 0 ? sTxt : sGtx;
    if (src.isEmpty())
        return {};
    const qsizetype p1 = src.indexOf(u'<' + name + u'>');
    const qsizetype p2 = src.indexOf(QStringLiteral("</") + name + u'>');
    if (p1 < 0 && p2 < 0)
        return {};
    if (p1 >= 0 && p2 >= 0 && p2 >= p1) {
        const qsizetype s = p1 + name.size() + 2; // first character after the start tag
        if (mode == 1)
            return src.mid(s, p2 - s);
        // A group: without the line end after its start tag and the 3 spaces before its end.
        const qsizetype n = p2 - s - 5;
        return n > 0 ? src.mid(s + 2, n) : QString();
    }
    Dialogs::message(u'<' + name + QStringLiteral("> の設定が読み込めません") + u'\r'
                     + QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sFlPh + QStringLiteral(") が破損しています"));
    return {};
}

void yIni::GetTxt(const QString &sFL, bool &bOk, QString *error)
{
    sTxt.clear();
    sFlPh = sFL;
    const qsizetype dv = sFlPh.indexOf(QStringLiteral("_DV.xml"), 0, Qt::CaseInsensitive);
    if (dv >= 0)
        sFlPh.replace(dv, 7, QStringLiteral(".xml"));

    QFile file(sFlPh);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            bOk = false;
            if (error)
                *error = QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sFlPh + QStringLiteral(") が読み込めません: ")
                    + file.errorString();
            return;
        }
        const QByteArray bytes = file.readAll();
        // A file whose first line is empty counts as empty.
        if (!bytes.isEmpty() && bytes[0] != '\r' && bytes[0] != '\n')
            sTxt = Cp932::decode(bytes);
    } else if (!file.open(QIODevice::WriteOnly)) {
        bOk = false;
        if (error)
            *error = QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sFlPh + QStringLiteral(") を作成できません: ")
                + file.errorString();
        return;
    }
    file.close();
    if (sTxt.isEmpty())
        sTxt = MkElm(0, kRoot, kCrLf);
    bOk = true;
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
    case QMetaType::QString:
        return s.isEmpty() ? vDef : QVariant(s);
    case QMetaType::Bool: {
        const QString t = s.isEmpty() ? valueText(vDef) : s;
        if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
            return false;
        bool isNumber = false;
        const double d = t.trimmed().toDouble(&isNumber);
        return isNumber ? QVariant(d != 0.0) : vDef;
    }
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        if (s.isEmpty())
            return vDef;
        const QLocale locale = QLocale::system();
        const QString t = s.trimmed();
        for (QLocale::FormatType f : {QLocale::ShortFormat, QLocale::LongFormat}) {
            if (vDef.typeId() == QMetaType::QDate) {
                const QDate d = locale.toDate(t, f);
                if (d.isValid())
                    return d;
            } else {
                const QDateTime d = locale.toDateTime(t, f);
                if (d.isValid())
                    return d;
            }
        }
        if (vDef.typeId() == QMetaType::QDate) {
            const QDate d = QDate::fromString(t, Qt::ISODate);
            return d.isValid() ? QVariant(d) : vDef;
        }
        const QDateTime d = QDateTime::fromString(t, Qt::ISODate);
        return d.isValid() ? QVariant(d) : vDef;
    }
    default:
        return s.isEmpty() ? vDef : QVariant(NumberText::lenient(s));
    }
}

void yIni::SetVal(const QString &sKy, const QVariant &vVL)
{
    const qsizetype p1 = sGtx.indexOf(u'<' + sKy + u'>');
    if (p1 >= 0) {
        const qsizetype b = p1 + sKy.size() + 1; // the start tag's ">"
        const qsizetype p2 = sGtx.indexOf(QStringLiteral("</") + sKy + u'>', b + 1);
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
        sTxt = MkElm(0, kRoot, kCrLf);
    const qsizetype p1 = sTxt.indexOf(u'<' + sGpNm + u'>');
    if (p1 >= 0) {
        const qsizetype c = p1 + sGpNm.size() + 4; // start tag and its line end
        const qsizetype p2 = sTxt.indexOf(QStringLiteral("</") + sGpNm + u'>', c);
        if (p2 >= 0) {
            sTxt = sTxt.left(c) + sGtx + QStringLiteral("   ") + sTxt.mid(p2);
            return;
        }
    }
    const QString group = MkElm(1, sGpNm, sGtx);
    const QString rootEnd = QStringLiteral("</") + kRoot + u'>';
    const qsizetype p = sTxt.indexOf(rootEnd);
    if (p >= 0) {
        sTxt = sTxt.left(p) + group + sTxt.mid(p);
    } else {
        // A document without its root end: the group and the end tag are added at the end.
        if (!sTxt.endsWith(kCrLf))
            sTxt += kCrLf;
        sTxt += group + rootEnd;
    }
}

void yIni::SetTxt(bool &bOk, QString *error)
{
    if (sFlPh.isEmpty())
        return;
    QString why;
    if (!TextFile::writeCp932(sFlPh, sTxt, &why)) {
        bOk = false;
        if (error)
            *error = why;
        return;
    }
    bOk = true;
}
