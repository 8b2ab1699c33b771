#include "LinkCheck.h"

#include "Clock.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

QString LinkCheck::Result::mark() const { return alive ? QStringLiteral("◎") : QStringLiteral("×"); }
QString LinkCheck::Result::tenths() const { return QString::number(double(elapsedMs) / 100.0, 'f', 1); }

LinkCheck::LinkCheck(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , m_network(network)
{
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        m_ownNetwork = true;
    }
}

LinkCheck::~LinkCheck()
{
    m_queue.clear();
    for (Active *a : std::as_const(m_active)) {
        if (a->reply) {
            a->reply->disconnect(this);
            a->reply->abort();
            a->reply->deleteLater();
        }
        delete a;
    }
}

void LinkCheck::setLimits(int total, int perHost)
{
    m_total = qMax(1, total);
    m_perHost = qMax(1, perHost);
}

QString LinkCheck::hostOf(const QString &url)
{
    const QUrl u(url);
    return u.host().toLower() + u':' + QString::number(u.port(u.scheme() == u"https" ? 443 : 80));
}

bool LinkCheck::validAddress(const QString &url)
{
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == u"http" || scheme == u"https") && !u.host().isEmpty();
}

void LinkCheck::start(const QList<Job> &jobs, bool sequential)
{
    cancel();
    m_queue = jobs;
    m_jobs = int(jobs.size());
    m_checked = 0;
    m_dead = 0;
    m_running = true;
    if (sequential)
        setLimits(1, 1);
    // Results always arrive from the event loop, also for addresses that fail at once.
    QTimer::singleShot(0, this, &LinkCheck::pump);
}

void LinkCheck::cancel()
{
    if (!m_running)
        return;
    m_queue.clear();
    const QList<Active *> active = m_active;
    m_active.clear();
    m_perHostNow.clear();
    for (Active *a : active) {
        if (a->reply) {
            a->reply->disconnect(this);
            a->reply->abort();
            a->reply->deleteLater();
        }
        delete a;
    }
    m_running = false;
    Q_EMIT finished();
}

void LinkCheck::pump()
{
    if (!m_running)
        return;
    for (int i = 0; i < m_queue.size() && m_active.size() < m_total;) {
        const Job job = m_queue[i];
        if (!validAddress(job.url)) {
            m_queue.removeAt(i);
            auto *a = new Active;
            a->job = job;
            a->startedMs = Clock::monotonicMs();
            m_active.append(a);
            complete(a, false);
            if (!m_running)
                return;
            continue;
        }
        const QString host = hostOf(job.url);
        if (m_perHostNow.value(host) >= m_perHost) {
            ++i;
            continue;
        }
        m_queue.removeAt(i);
        auto *a = new Active;
        a->job = job;
        a->host = host;
        a->startedMs = Clock::monotonicMs();
        m_perHostNow[host]++;
        m_active.append(a);
        a->deadline = new QTimer(this);
        a->deadline->setSingleShot(true);
        connect(a->deadline, &QTimer::timeout, this, [this, a] {
            if (a->reply) {
                a->reply->disconnect(this);
                a->reply->abort();
                a->reply->deleteLater();
            }
            complete(a, false);
        });
        a->deadline->start(m_deadlineMs);
        launch(a, false);
    }
    finishIfDone();
}

void LinkCheck::launch(Active *a, bool get)
{
    QNetworkRequest request{QUrl(a->job.url.trimmed())};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(m_deadlineMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Linkwell link check"));
    a->usedGet = get;
    a->haveHeaders = false;
    QNetworkReply *reply = get ? m_network->get(request) : m_network->head(request);
    a->reply = reply;
    if (get) {
        // Only the headers matter: the body is not fetched.
        connect(reply, &QNetworkReply::metaDataChanged, this, [this, a, reply] {
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
                && !reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid()) {
                a->haveHeaders = true;
                a->result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                a->result.headers = headerText(reply);
                reply->abort();
            }
        });
    }
    connect(reply, &QNetworkReply::finished, this, [this, a] { onFinished(a); });
}

QString LinkCheck::headerText(QNetworkReply *reply)
{
    QStringList lines;
    for (const auto &pair : reply->rawHeaderPairs())
        lines << QString::fromLatin1(pair.first) + QStringLiteral(": ") + QString::fromLatin1(pair.second);
    return lines.join(QStringLiteral("\r\n"));
}

void LinkCheck::onFinished(Active *a)
{
    QNetworkReply *reply = a->reply;
    if (!reply)
        return;
    reply->deleteLater();
    a->reply = nullptr;
    if (!a->haveHeaders) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        a->result.status = status.isValid() ? status.toInt() : 0;
        a->result.headers = status.isValid() ? headerText(reply) : QString();
        if (reply->error() == QNetworkReply::TooManyRedirectsError
            || reply->error() == QNetworkReply::InsecureRedirectError) {
            a->result.status = 0;
            a->result.headers.clear();
        }
    }
    const int s = a->result.status;
    // A server that does not take HEAD is asked again with GET.
    if (!a->usedGet && (s == 405 || s == 501)) {
        launch(a, true);
        return;
    }
    complete(a, s != 0 && s != 404 && s != 410);
}

void LinkCheck::complete(Active *a, bool alive)
{
    a->result.alive = alive;
    a->result.elapsedMs = Clock::monotonicMs() - a->startedMs;
    if (!alive)
        ++m_dead;
    ++m_checked;
    m_active.removeOne(a);
    if (!a->host.isEmpty())
        m_perHostNow[a->host]--;
    if (a->deadline)
        a->deadline->deleteLater();
    const Job job = a->job;
    const Result result = a->result;
    delete a;
    Q_EMIT rowChecked(job.row, result);
    if (!m_running)
        return;
    Q_EMIT progress(m_checked, m_jobs, m_dead);
    QTimer::singleShot(0, this, &LinkCheck::pump);
}

void LinkCheck::finishIfDone()
{
    if (m_running && m_queue.isEmpty() && m_active.isEmpty()) {
        m_running = false;
        Q_EMIT finished();
    }
}
