#include "HttpReader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(HttpReader)
};

const QByteArray kEnd = QByteArrayLiteral("\r\n\r\n");

QByteArray reason(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Status";
    }
}

// Browsers send these for an extension's own requests; a web page cannot claim them.
bool isExtensionOrigin(const QByteArray &origin)
{
    static const QByteArray schemes[]
        = {"chrome-extension://", "moz-extension://", "safari-web-extension://"};
    for (const QByteArray &scheme : schemes)
        if (origin.startsWith(scheme) && origin.size() > scheme.size())
            return true;
    return false;
}

bool isDigits(const QByteArray &s)
{
    if (s.isEmpty() || s.size() > 18)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

HttpReader::HttpReader(Rules rules)
    : m_rules(std::move(rules))
{
}

Local::HttpAnswer HttpReader::error(int status, const QString &message)
{
    Local::HttpAnswer a;
    a.status = status;
    a.body = QJsonDocument(QJsonObject {{QStringLiteral("error"), message}})
                 .toJson(QJsonDocument::Compact);
    return a;
}

QByteArray HttpReader::wire(const Local::HttpAnswer &answer, const QByteArray &corsOrigin)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reason(answer.status);
    if (!corsOrigin.isEmpty())
        out += "\r\nAccess-Control-Allow-Origin: " + corsOrigin
            + "\r\nAccess-Control-Allow-Methods: GET, POST"
              "\r\nAccess-Control-Allow-Headers: Authorization, Content-Type"
              "\r\nAccess-Control-Max-Age: 600\r\nVary: Origin";
    out += "\r\nContent-Type: " + answer.contentType
        + "\r\nContent-Length: " + QByteArray::number(answer.body.size())
        + "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: "
          "close\r\n\r\n";
    return out + answer.body;
}

bool HttpReader::carriesToken(const QByteArray &authorization, const QByteArray &token)
{
    if (token.isEmpty())
        return false;
    // Digests of equal length, compared to the last byte: the time tells nothing of the token,
    // not even its length.
    const QByteArray a = QCryptographicHash::hash(authorization, QCryptographicHash::Sha256);
    const QByteArray b
        = QCryptographicHash::hash(QByteArray("Bearer " + token), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

HttpReader::State HttpReader::refuse(int status, const QString &message)
{
    m_refusal = error(status, message);
    m_head.clear();
    m_request.body.clear();
    return m_state = State::Refused;
}

HttpReader::State HttpReader::feed(const QByteArray &bytes)
{
    if (m_state != State::More)
        return m_state;
    if (m_inBody) {
        m_request.body += bytes.left(m_length - m_request.body.size());
        if (m_request.body.size() == m_length)
            m_state = State::Ready;
        return m_state;
    }
    // Only the head's part is kept; what follows it is the body's start.
    const qsizetype before = m_head.size();
    m_head += bytes.left(m_rules.maxHead + kEnd.size() - before);
    const qsizetype end = m_head.indexOf(kEnd, qMax<qsizetype>(0, before - 3));
    if (end < 0)
        return m_head.size() > m_rules.maxHead ? refuse(431, Tr::tr("ﾍｯﾀﾞｰが大きすぎます"))
                                               : m_state;
    if (end > m_rules.maxHead)
        return refuse(431, Tr::tr("ﾍｯﾀﾞｰが大きすぎます"));
    const QByteArray rest = bytes.mid(end + kEnd.size() - before);
    m_head.truncate(end);
    if (readHead() != State::More)
        return m_state;
    if (checkHead() != State::More)
        return m_state;
    m_inBody = true;
    if (m_length == 0)
        return m_state = State::Ready;
    m_request.body.reserve(m_length);
    return feed(rest);
}

HttpReader::State HttpReader::readHead()
{
    const QList<QByteArray> lines = m_head.split('\n');
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    if (first.size() != 3 || first[0].isEmpty() || !first[1].startsWith('/'))
        return refuse(400, Tr::tr("要求行が正しくありません"));
    if (first[2] != "HTTP/1.1" && first[2] != "HTTP/1.0")
        return refuse(505, Tr::tr("HTTP/1.1 で送ってください"));
    m_request.method = first[0];
    const qsizetype q = first[1].indexOf('?');
    m_request.path = q < 0 ? first[1] : first[1].left(q);
    m_request.query = q < 0 ? QByteArray() : first[1].mid(q + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        // A folded line or a name with spaces could smuggle a header past the checks.
        if (colon <= 0 || line.left(colon).contains(' ') || line.left(colon).contains('\t'))
            return refuse(400, Tr::tr("ﾍｯﾀﾞｰ行が正しくありません"));
        m_request.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    m_head.clear();
    return m_state;
}

HttpReader::State HttpReader::checkHead()
{
    QList<QByteArray> hosts, lengths;
    for (const auto &[name, value] : std::as_const(m_request.headers)) {
        if (name == "host")
            hosts.append(value.toLower());
        else if (name == "content-length")
            lengths.append(value);
    }
    const QByteArray port = ':' + QByteArray::number(m_rules.port);
    if (hosts.size() != 1 || (hosts[0] != "127.0.0.1" + port && hosts[0] != "localhost" + port))
        return refuse(403, Tr::tr("このﾎｽﾄ名では受け付けません"));
    const QByteArray origin = m_request.header("origin");
    if (!origin.isNull() && !isExtensionOrigin(origin))
        return refuse(403, Tr::tr("Webﾍﾟｰｼﾞからの要求は受け付けません"));
    m_corsOrigin = origin;
    // An extension's preflight carries no token: it only asks what the real request may send.
    if (m_request.method == "OPTIONS" && !m_corsOrigin.isEmpty()) {
        m_refusal = {204, {}};
        return m_state = State::Refused;
    }
    if (!carriesToken(m_request.header("authorization"), m_rules.token))
        return refuse(401, Tr::tr("ﾄｰｸﾝがないか、違います"));
    if (!m_request.header("transfer-encoding").isNull())
        return refuse(411, Tr::tr("Content-Length で長さを示してください"));
    for (const QByteArray &l : std::as_const(lengths))
        if (!isDigits(l) || l != lengths.first())
            return refuse(400, Tr::tr("Content-Length が正しくありません"));
    if (lengths.isEmpty() && m_request.method == "POST")
        return refuse(411, Tr::tr("Content-Length で長さを示してください"));
    m_length = lengths.isEmpty() ? 0 : lengths.first().toLongLong();
    if (m_length > m_rules.maxBody)
        return refuse(413, Tr::tr("%1 ﾊﾞｲﾄを超える要求は受け付けません").arg(m_rules.maxBody));
    if (!m_rules.routes.isEmpty()) {
        const auto route
            = std::find_if(m_rules.routes.cbegin(), m_rules.routes.cend(),
                           [this](const Route &r) { return r.path == m_request.path; });
        if (route == m_rules.routes.cend())
            return refuse(404, Tr::tr("%1 はありません").arg(QString::fromLatin1(m_request.path)));
        if (!route->methods.contains(m_request.method))
            return refuse(405,
                          Tr::tr("%1 は使えません").arg(QString::fromLatin1(m_request.method)));
    }
    m_continue = m_length > 0 && m_request.header("expect").toLower() == "100-continue";
    return m_state;
}
