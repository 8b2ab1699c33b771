#include "HttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace {

class NetworkReply final : public HttpReply
{
public:
    NetworkReply(QNetworkReply *reply, bool headersOnly, QObject *parent)
        : HttpReply(parent)
        , m_reply(reply)
    {
        // A GET is cut off as soon as its headers are in, so that no body is downloaded.
        if (headersOnly)
            connect(reply, &QNetworkReply::metaDataChanged, this, &NetworkReply::settle);
        connect(reply, &QNetworkReply::finished, this, &NetworkReply::settle);
    }

    // The network reply stays the manager's child, so it never outlives the manager.
    ~NetworkReply() override { abort(); }

    void abort() override
    {
        QNetworkReply *reply = m_reply;
        if (!reply)
            return;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }

private:
    void settle()
    {
        QNetworkReply *reply = m_reply;
        if (!reply)
            return;
        reply->disconnect(this);
        m_reply = nullptr;

        HttpAnswer answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (answer.status > 0) {
            answer.outcome = HttpAnswer::Outcome::Answered;
            answer.headers = reply->rawHeaderPairs();
        } else {
            answer.status = 0;
            answer.outcome = reply->error() == QNetworkReply::ConnectionRefusedError
                ? HttpAnswer::Outcome::Refused
                : HttpAnswer::Outcome::Failed;
        }
        // Aborting inside the reply's own signal upsets its error handling; abort it once
        // it has returned.
        if (reply->isRunning())
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        reply->deleteLater();
        Q_EMIT finished(answer);
    }

    QPointer<QNetworkReply> m_reply;
};

} // namespace

NetworkHttpClient::NetworkHttpClient()
    : m_manager(std::make_unique<QNetworkAccessManager>())
{
}

NetworkHttpClient::~NetworkHttpClient() = default;

HttpReply *NetworkHttpClient::send(const QByteArray &method, const QUrl &url, QObject *parent)
{
    QNetworkRequest request(url);
    // Redirects are followed by the caller, which counts them across HEAD and GET.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    const bool head = method == "HEAD";
    QNetworkReply *reply = head ? m_manager->head(request) : m_manager->get(request);
    return new NetworkReply(reply, !head, parent);
}
