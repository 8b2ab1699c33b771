#include "MultipartForm.h"

#include <QByteArrayMatcher>
#include <QCoreApplication>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(MultipartForm)
};

// A header parameter's value: name=value or name="va\"lue".
QByteArray parameter(const QByteArray &header, const QByteArray &name)
{
    qsizetype at = 0;
    while (at < header.size()) {
        const qsizetype semi = header.indexOf(';', at);
        if (semi < 0)
            return {};
        qsizetype p = semi + 1;
        while (p < header.size() && (header[p] == ' ' || header[p] == '\t'))
            ++p;
        const qsizetype eq = header.indexOf('=', p);
        if (eq < 0)
            return {};
        const QByteArray key = header.mid(p, eq - p).trimmed().toLower();
        p = eq + 1;
        QByteArray value;
        if (p < header.size() && header[p] == '"') {
            for (++p; p < header.size() && header[p] != '"'; ++p) {
                if (header[p] == '\\' && p + 1 < header.size())
                    ++p;
                value.append(header[p]);
            }
            ++p;
        } else {
            const qsizetype end = header.indexOf(';', p);
            value = header.mid(p, end < 0 ? -1 : end - p).trimmed();
            p = end < 0 ? header.size() : end;
        }
        if (key == name)
            return value;
        at = p;
    }
    return {};
}

} // namespace

QByteArray MultipartForm::boundaryOf(const QByteArray &contentType)
{
    const qsizetype semi = contentType.indexOf(';');
    if (contentType.left(semi).trimmed().toLower() != "multipart/form-data")
        return {};
    const QByteArray b = parameter(contentType, "boundary");
    // At most 70 characters (RFC 2046).
    return b.size() <= 70 ? b : QByteArray();
}

bool MultipartForm::fail(const QString &why)
{
    m_parts.clear();
    m_error = why;
    return false;
}

bool MultipartForm::read(const QByteArray &body, const QByteArray &boundary)
{
    m_parts.clear();
    m_error.clear();
    if (boundary.isEmpty())
        return fail(Tr::tr("ﾌｫｰﾑの区切りがありません"));
    const QByteArray first = "--" + boundary;
    // Every later delimiter begins on a line of its own.
    const QByteArrayMatcher next("\r\n--" + boundary);
    qsizetype at;
    if (body.startsWith(first)) {
        at = first.size();
    } else {
        const qsizetype d = next.indexIn(body);
        if (d < 0)
            return fail(Tr::tr("ﾌｫｰﾑの区切りがありません"));
        at = d + 2 + first.size();
    }
    for (;;) {
        if (body.mid(at, 2) == "--")
            return true;
        // Whitespace may follow a delimiter before its line end.
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t'))
            ++at;
        if (body.mid(at, 2) != "\r\n")
            return fail(Tr::tr("ﾌｫｰﾑが途中で終わっています"));
        at += 2;
        const qsizetype headEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype dataEnd = next.indexIn(body, at);
        if (dataEnd < 0)
            return fail(Tr::tr("ﾌｫｰﾑが途中で終わっています"));
        Part part;
        qsizetype dataAt = at;
        if (body.mid(at, 2) == "\r\n") {
            dataAt = at + 2; // a part without headers
        } else {
            if (headEnd < 0 || headEnd > dataEnd)
                return fail(Tr::tr("ﾌｫｰﾑが途中で終わっています"));
            for (const QByteArray &line : body.mid(at, headEnd - at).split('\n')) {
                const qsizetype colon = line.indexOf(':');
                if (colon < 0)
                    continue;
                const QByteArray key = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (key == "content-disposition") {
                    part.name = parameter(value, "name");
                    part.fileName = QString::fromUtf8(parameter(value, "filename"));
                } else if (key == "content-type") {
                    part.contentType = value;
                }
            }
            dataAt = headEnd + 4;
        }
        part.data = body.mid(dataAt, dataEnd - dataAt);
        m_parts.append(std::move(part));
        at = dataEnd + 2 + first.size();
    }
}

const MultipartForm::Part *MultipartForm::part(const QByteArray &name) const
{
    for (const Part &p : m_parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

QString MultipartForm::text(const QByteArray &name) const
{
    const Part *p = part(name);
    return p ? QString::fromUtf8(p->data) : QString();
}
