#include "OffscreenPicturer.h"

#include "platform/Twips.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTemporaryFile>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

// Refuses every request but the page's own file; data: parts of the file are the file.
class FileOnlyInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    void allow(const QUrl &url)
    {
        QMutexLocker lock(&m_mutex);
        m_allowed = url;
    }
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        QMutexLocker lock(&m_mutex);
        const bool own = url.adjusted(QUrl::RemoveFragment) == m_allowed || url.scheme() == u"data"
            || url.scheme() == u"blob";
        info.block(!own);
    }

private:
    QMutex m_mutex;
    QUrl m_allowed;
};

namespace {
// The picture is taken once the view has rendered and then stayed quiet for a while.
constexpr int kPollMs = 50;
constexpr int kQuietMs = 150;
constexpr int kMaxPaintMs = 3000;
} // namespace

OffscreenPicturer::OffscreenPicturer(QObject *parent)
    : QObject(parent)
    , m_interceptor(std::make_unique<FileOnlyInterceptor>())
{
    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] { finish({}); });
}

void OffscreenPicturer::makeView()
{
    // Off the record: nothing of these pages stays in the browser's caches or cookies.
    m_profile = new QWebEngineProfile(this);
    m_profile->setUrlRequestInterceptor(m_interceptor.get());
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineSettings *s = m_profile->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);

    m_view = new QWebEngineView();
    m_view->setPage(new QWebEnginePage(m_profile, m_view));
    m_view->setAttribute(Qt::WA_DontShowOnScreen);
    // The capture window's client area: pictures as F3 takes them.
    m_view->resize(Twips::toPixelsX(9885), Twips::toPixelsY(6990));
    m_view->show();
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!m_busy)
            return;
        if (!ok) {
            finish({});
            return;
        }
        // Renders counted from here; the picture once they have come and stopped.
        auto renders = std::make_shared<int>(0);
        auto quiet = std::make_shared<QElapsedTimer>();
        auto since = std::make_shared<QElapsedTimer>();
        quiet->start();
        since->start();
        const int serial = m_serial;
        QMetaObject::Connection counted;
        if (auto *quick = qobject_cast<QQuickWidget *>(m_view->focusProxy());
            quick && quick->quickWindow()) {
            counted = connect(quick->quickWindow(), &QQuickWindow::afterRendering, this, [=, this] {
                ++*renders;
                quiet->restart();
            });
            quick->update();
        }
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [=, this] {
            const bool painted = *renders > 0 && quiet->elapsed() >= kQuietMs;
            if (serial == m_serial && m_busy && !painted && since->elapsed() < kMaxPaintMs)
                return;
            poll->deleteLater();
            disconnect(counted);
            if (serial == m_serial && m_busy)
                finish(m_view->grab().toImage());
        });
        poll->start(kPollMs);
    });
}

OffscreenPicturer::~OffscreenPicturer()
{
    // The page before its profile, the profile before the interceptor it uses.
    delete m_view;
    delete m_profile;
}

void OffscreenPicturer::take(const QString &htmlPath, Done done)
{
    m_jobs.enqueue({htmlPath, std::move(done)});
    if (!m_busy)
        startNext();
}

void OffscreenPicturer::startNext()
{
    if (m_jobs.isEmpty())
        return;
    m_busy = true;
    ++m_serial;
    // The browser only once a page comes: most sessions never get one.
    if (!m_view)
        makeView();
    QString path = m_jobs.head().path;
    QFile page(path);
    if (page.size() > renderBytes && page.open(QIODevice::ReadOnly)) {
        m_head = std::make_unique<QTemporaryFile>(QDir::tempPath()
                                                  + QStringLiteral("/linkwell-page-XXXXXX.html"));
        if (m_head->open() && m_head->write(page.read(renderBytes)) == renderBytes
            && m_head->flush())
            path = m_head->fileName();
        else
            m_head.reset();
    }
    const QUrl url = QUrl::fromLocalFile(path);
    m_interceptor->allow(url);
    m_timeout->start(timeoutMs);
    m_view->load(url);
}

void OffscreenPicturer::finish(const QImage &picture)
{
    if (!m_busy)
        return;
    m_timeout->stop();
    m_busy = false;
    ++m_serial;
    m_head.reset();
    Job job = m_jobs.dequeue();
    job.done(picture);
    QTimer::singleShot(0, this, &OffscreenPicturer::startNext);
}
