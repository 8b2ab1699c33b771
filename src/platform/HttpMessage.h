#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>

// The link check's client (HttpClient.h) has an HttpRequest and an HttpAnswer of its own at
// global scope; these are the receiver's, so the two can meet in one file (the generated moc
// files hold every header with a QObject).
namespace Local {

// A request the local receiver has read whole (checked for its host, origin, token and size),
// and the answer to it.
struct HttpRequest
{
    QByteArray method; // "GET", "POST"
    QByteArray path; // "/api/links", without the query
    QByteArray query; // what follows "?", still percent-encoded
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case
    QByteArray body;

    // The first header of that name (lower case), or empty.
    QByteArray header(const QByteArray &lowerName) const
    {
        for (const auto &h : headers)
            if (h.first == lowerName)
                return h.second;
        return {};
    }
};

struct HttpAnswer
{
    int status = 200;
    QByteArray body; // JSON
    QByteArray contentType = "application/json; charset=utf-8";
};

// What answers the receiver's requests. reply is called once, on the caller's thread, perhaps
// later (a page is rendered before its answer).
class HttpHandler
{
public:
    using Reply = std::function<void(const HttpAnswer &)>;
    virtual ~HttpHandler() = default;
    virtual void handle(const HttpRequest &request, Reply reply) = 0;
};

} // namespace Local
