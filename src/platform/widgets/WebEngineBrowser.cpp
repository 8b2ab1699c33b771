#include "WebEngineBrowser.h"

#include "platform/Dialogs.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

// The page outlives its browser when the window deletes the browser first, and calls back
// with empty results while it is destroyed; the shared flag turns both into no-ops.
class WebEngineBrowser::Page : public QWebEnginePage
{
public:
    Page(WebEngineBrowser *owner, std::shared_ptr<bool> live, QObject *parent)
        : QWebEnginePage(parent)
        , m_owner(owner)
        , m_live(std::move(live))
    {
    }
    ~Page() override { *m_live = false; }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        if (isMainFrame && *m_live)
            m_owner->beforeNavigation(url);
        return true;
    }

    // Every new window is refused: nothing opens, here or elsewhere.
    QWebEnginePage *createWindow(WebWindowType) override
    {
        if (*m_live)
            Q_EMIT m_owner->NewWindow2();
        return nullptr;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                  const QString &) override
    {
        if (*m_live)
            m_owner->onConsole(message);
    }

private:
    WebEngineBrowser *m_owner;
    std::shared_ptr<bool> m_live;
};

namespace {

// Lines end in CR LF, as the panel's line rule counts them.
QString crLfText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QWidget *parent)
    : WebBrowser(parent)
    , m_view(new QWebEngineView(parent))
{
    m_page = new Page(this, m_live, m_view);
    m_view->setPage(m_page);
    runDialog = [](QDialog *d) { return d->exec() == QDialog::Accepted; };
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { ++m_loadSerial; });
    connect(m_view, &QWebEngineView::urlChanged, this,
            [this](const QUrl &url) { Q_EMIT LocationChanged(url.toString()); });
    connect(m_view, &QWebEngineView::printFinished, this, [this](bool) { m_printing = false; });
    // Unlike loadFinished, this tells why a load failed; it comes right after loadFinished.
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &i) {
        switch (i.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus: break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            // An error status is still the server's answer, shown as the server sent it.
            if (i.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain) {
                onLoadFinished(i.errorString().isEmpty()
                                   ? QStringLiteral("error %1").arg(i.errorCode())
                                   : i.errorString());
                break;
            }
            Q_FALLTHROUGH();
        default: onLoadFinished(QString()); break;
        }
    });
}

WebEngineBrowser::~WebEngineBrowser()
{
    *m_live = false;
}

QWidget *WebEngineBrowser::widget()
{
    return m_view;
}

QUrl WebEngineBrowser::toUrl(const QString &address)
{
    if (address.startsWith(u'/') || QFileInfo(address).isAbsolute())
        return QUrl::fromLocalFile(address);
    return QUrl::fromUserInput(address);
}

void WebEngineBrowser::Navigate(const QString &address)
{
    if (address.isEmpty())
        return;
    m_view->setUrl(toUrl(address));
}

void WebEngineBrowser::GoBack()
{
    if (m_view->history()->canGoBack())
        m_view->back();
}

void WebEngineBrowser::GoForward()
{
    if (m_view->history()->canGoForward())
        m_view->forward();
}

void WebEngineBrowser::GoHome()
{
    Navigate(m_home.isEmpty() ? m_search : m_home);
}
void WebEngineBrowser::GoSearch()
{
    Navigate(m_search);
}

QString WebEngineBrowser::LocationURL() const
{
    const QUrl url = m_view->url();
    return url.isEmpty() ? QString() : url.toString();
}

QString WebEngineBrowser::LocationName() const
{
    return m_view->title();
}

bool WebEngineBrowser::loaded() const
{
    const QUrl url = m_view->url();
    return !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
}

void WebEngineBrowser::onLoadFinished(const QString &failure)
{
    if (!*m_live)
        return;
    const quint64 serial = m_loadSerial;
    auto report = [this, live = m_live, serial, failure](const QString &text, const QString &html) {
        if (!*live || serial != m_loadSerial)
            return; // gone, or a newer load has started; its own completion follows
        m_text = crLfText(text);
        m_html = html;
        const bool failed = !failure.isEmpty();
        if (failed)
            Q_EMIT LoadFailed(LocationURL(), failure);
        Q_EMIT DocumentComplete(LocationURL(), LocationName(), m_text, failed);
    };
    if (!scriptsEnabled()) {
        readWithoutScripts(false, [this, report](const QString &text) {
            readWithoutScripts(true, [report, text](const QString &html) { report(text, html); });
        });
        return;
    }
    static const QString script = QStringLiteral(
        "(function(){var b=document.body;return [b?b.innerText:'', b?b.innerHTML:''];})()");
    m_page->runJavaScript(script, [report](const QVariant &result) {
        const QVariantList parts = result.toList();
        report(parts.value(0).toString(), parts.value(1).toString());
    });
}

void WebEngineBrowser::readWithoutScripts(bool html, std::function<void(const QString &)> done)
{
    // A saved copy runs no script, not even the adapter's: the page gives its text itself.
    auto guarded = [live = m_live, done = std::move(done)](const QString &r) {
        if (*live)
            done(r);
    };
    if (html)
        m_page->toHtml(guarded);
    else
        m_page->toPlainText(guarded);
}

void WebEngineBrowser::fetchBody(bool html, std::function<void(const QString &)> done)
{
    if (!loaded()) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(QString()); });
        return;
    }
    if (!scriptsEnabled()) {
        readWithoutScripts(html, [html, done = std::move(done)](const QString &r) {
            done(html ? r : crLfText(r));
        });
        return;
    }
    const QString script = html ? QStringLiteral("document.body?document.body.innerHTML:''")
                                : QStringLiteral("document.body?document.body.innerText:''");
    m_page->runJavaScript(script, [live = m_live, html, done = std::move(done)](const QVariant &r) {
        if (*live)
            done(html ? r.toString() : crLfText(r.toString()));
    });
}

void WebEngineBrowser::beforeNavigation(const QUrl &url)
{
    // A saved copy is shown as it was, never run: its scripts would act on today's web.
    m_view->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled,
                                     !isArchived(url, m_archiveFolder));
}

bool WebEngineBrowser::scriptsEnabled() const
{
    return m_view->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled);
}

void WebEngineBrowser::saveArchive(const QString &path, SaveDone done)
{
    // The save's connections and timer live in a context object of the adapter's: they go
    // when the save has reported, or with the adapter, whichever comes first.
    auto *job = new QObject(this);
    auto finish = [job, done = std::move(done)](bool ok, const QString &why) mutable {
        if (!done)
            return;
        // From the event loop, once.
        QTimer::singleShot(0, job, [job, report = std::move(done), ok, why] {
            report(ok, why);
            job->deleteLater();
        });
        done = nullptr;
    };
    auto settled = std::make_shared<std::function<void(bool, const QString &)>>(std::move(finish));
    if (!loaded()) {
        (*settled)(false, tr("表示中のﾍﾟｰｼﾞがありません"));
        return;
    }
    const QString target = QFileInfo(path).absoluteFilePath();
    auto *timer = new QTimer(job);
    timer->setSingleShot(true);
    auto request = std::make_shared<QMetaObject::Connection>();
    *request = connect(
        m_page->profile(), &QWebEngineProfile::downloadRequested, job,
        [this, job, timer, request, settled, target](QWebEngineDownloadRequest *d) {
            if (d->page() != m_page || !d->isSavePageDownload()
                || QFileInfo(QDir(d->downloadDirectory()).filePath(d->downloadFileName()))
                        .absoluteFilePath()
                    != target)
                return;
            QObject::disconnect(*request);
            auto settle = [d, timer, settled] {
                if (!d->isFinished())
                    return;
                timer->stop();
                if (d->state() == QWebEngineDownloadRequest::DownloadCompleted)
                    (*settled)(true, QString());
                else
                    (*settled)(false,
                               d->interruptReasonString().isEmpty() ? tr("中止されました")
                                                                    : d->interruptReasonString());
            };
            connect(d, &QWebEngineDownloadRequest::isFinishedChanged, job, settle);
            QPointer<QWebEngineDownloadRequest> download(d);
            connect(timer, &QTimer::timeout, job, [download] {
                if (download)
                    download->cancel();
            });
            settle();
        });
    connect(timer, &QTimer::timeout, job, [request, settled] {
        QObject::disconnect(*request);
        (*settled)(false, tr("時間内に終わりませんでした"));
    });
    timer->start(saveTimeoutMs);
    m_page->save(path, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
}

void WebEngineBrowser::grabWhenPainted(std::function<void(const QImage &)> done)
{
    watchRenders();
    Grab g;
    g.marker = QStringLiteral("linkwell-painted-%1").arg(++m_grabSerial);
    g.renders = m_renders;
    g.done = std::move(done);
    m_grabs.append(std::move(g));
    requestFrames(m_grabs.last().marker);
}

void WebEngineBrowser::watchRenders()
{
    auto *quick = qobject_cast<QQuickWidget *>(m_view->focusProxy());
    if (!quick || !quick->quickWindow() || quick->quickWindow() == m_watched)
        return;
    m_watched = quick->quickWindow();
    connect(
        quick->quickWindow(), &QQuickWindow::afterRendering, this, [this] { ++m_renders; },
        Qt::DirectConnection);
}

void WebEngineBrowser::requestFrames(const QString &marker)
{
    m_page->runJavaScript(
        QStringLiteral("requestAnimationFrame(()=>requestAnimationFrame(()=>console.log('%1')))")
            .arg(marker));
}

void WebEngineBrowser::onConsole(const QString &message)
{
    for (int i = 0; i < m_grabs.size(); ++i) {
        Grab &g = m_grabs[i];
        if (g.marker != message)
            continue;
        watchRenders();
        // The page's frames reach the view some time after the page painted them: after a few
        // rounds of page frames, the picture is taken at the view's next render. A page that
        // has nothing new to show renders nothing; it is taken after some quiet rounds.
        ++g.rounds;
        if (g.rounds == kPaintRounds) {
            g.renders = m_renders;
            if (auto *quick = qobject_cast<QQuickWidget *>(m_view->focusProxy()))
                quick->update();
        }
        const bool rendered = g.rounds > kPaintRounds && m_renders != g.renders;
        if (rendered || g.rounds >= kMaxPaintRounds) {
            auto done = std::move(g.done);
            m_grabs.removeAt(i);
            done(m_view->grab().toImage());
            return;
        }
        requestFrames(message);
        return;
    }
}

void WebEngineBrowser::ExecWB(int command, int)
{
    if (!loaded() || m_printing)
        return;
    switch (command) {
    case Refresh: m_view->reload(); break;
    case SaveAs: {
        Dialogs::SaveRequest request;
        request.title = tr("名前を付けて保存");
        request.folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QString name = LocationName().trimmed();
        name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
        request.fileName
            = (name.isEmpty() ? QStringLiteral("page") : name) + QStringLiteral(".html");
        request.filterText = tr("Web ﾍﾟｰｼﾞ (*.html;*.htm;*.mhtml)");
        request.patterns
            = {QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.mhtml")};
        const QString path = Dialogs::saveFileName(request);
        if (path.isEmpty())
            return;
        // The dialog itself does not ask (the program's file outputs replace files silently).
        if (QFileInfo::exists(path)
            && !Dialogs::message(
                tr("ﾌｧｲﾙ %1 は既にあります｡上書きしますか?").arg(QDir::toNativeSeparators(path)),
                Dialogs::Buttons::OkCancel))
            return;
        const QString ext = QFileInfo(path).suffix().toLower();
        m_page->save(path,
                     ext == u"mhtml" || ext == u"mht"
                         ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                         : QWebEngineDownloadRequest::SingleHtmlSaveFormat);
        break;
    }
    case Print: {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrintDialog dialog(m_printer.get(), m_view);
        if (!runDialog(&dialog))
            return;
        m_printing = true;
        m_view->print(m_printer.get());
        break;
    }
    case PrintPreview: printPreview(); break;
    case PageSetup: {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPageSetupDialog dialog(m_printer.get(), m_view);
        runDialog(&dialog);
        break;
    }
    default: break;
    }
}

void WebEngineBrowser::printPreview()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintPreviewDialog preview(m_printer.get(), m_view);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *printer) {
        // The page prints asynchronously; the preview needs the pages now.
        QEventLoop wait;
        bool finished = false;
        const auto c = connect(m_view, &QWebEngineView::printFinished, &wait, [&](bool) {
            finished = true;
            wait.quit();
        });
        m_printing = true;
        m_view->print(printer);
        if (!finished)
            wait.exec();
        disconnect(c);
        m_printing = false;
    });
    runDialog(&preview);
}
