#include "WebEngineBrowser.h"

#include "platform/Dialogs.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QWebEngineDownloadRequest>
#include <QStandardPaths>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

class WebEngineBrowser::Page : public QWebEnginePage
{
public:
    Page(WebEngineBrowser *owner, QObject *parent)
        : QWebEnginePage(parent)
        , m_owner(owner)
    {
    }

protected:
    // Every new window is refused: nothing opens, here or elsewhere.
    QWebEnginePage *createWindow(WebWindowType) override
    {
        Q_EMIT m_owner->NewWindow2();
        return nullptr;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                  const QString &) override
    {
        m_owner->onConsole(message);
    }

private:
    WebEngineBrowser *m_owner;
};

WebEngineBrowser::WebEngineBrowser(QWidget *parent)
    : WebBrowser(parent)
    , m_view(new QWebEngineView(parent))
{
    m_page = new Page(this, m_view);
    m_view->setPage(m_page);
    runDialog = [](QDialog *d) { return d->exec() == QDialog::Accepted; };
    connect(m_view, &QWebEngineView::loadFinished, this, &WebEngineBrowser::onLoadFinished);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { ++m_loadSerial; });
    connect(m_view, &QWebEngineView::printFinished, this, [this](bool) { m_printing = false; });
}

WebEngineBrowser::~WebEngineBrowser() = default;

QWidget *WebEngineBrowser::widget() { return m_view; }

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

void WebEngineBrowser::GoHome() { Navigate(m_home.isEmpty() ? m_search : m_home); }
void WebEngineBrowser::GoSearch() { Navigate(m_search); }

QString WebEngineBrowser::LocationURL() const
{
    const QUrl url = m_view->url();
    return url.isEmpty() ? QString() : url.toString();
}

QString WebEngineBrowser::LocationName() const { return m_view->title(); }

bool WebEngineBrowser::loaded() const
{
    const QUrl url = m_view->url();
    return !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
}

void WebEngineBrowser::onLoadFinished(bool)
{
    const quint64 serial = m_loadSerial;
    static const QString script = QStringLiteral(
        "(function(){var b=document.body;return [b?b.innerText:'', b?b.innerHTML:''];})()");
    m_page->runJavaScript(script, [this, serial](const QVariant &result) {
        if (serial != m_loadSerial)
            return; // a newer load has started; its own completion follows
        const QVariantList parts = result.toList();
        QString text = parts.value(0).toString();
        // Lines end in CR LF, as the panel's line rule counts them.
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
        text.replace(u'\n', QStringLiteral("\r\n"));
        m_text = text;
        m_html = parts.value(1).toString();
        Q_EMIT DocumentComplete(LocationURL(), LocationName(), m_text);
    });
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
    connect(quick->quickWindow(), &QQuickWindow::afterRendering, this, [this] { ++m_renders; },
            Qt::DirectConnection);
}

void WebEngineBrowser::requestFrames(const QString &marker)
{
    m_page->runJavaScript(QStringLiteral("requestAnimationFrame(()=>requestAnimationFrame(()=>console.log('%1')))")
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
    case Refresh:
        m_view->reload();
        break;
    case SaveAs: {
        Dialogs::SaveRequest request;
        request.title = QStringLiteral("名前を付けて保存");
        request.folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QString name = LocationName().trimmed();
        name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
        request.fileName = (name.isEmpty() ? QStringLiteral("page") : name) + QStringLiteral(".html");
        request.filterText = QStringLiteral("Web ﾍﾟｰｼﾞ (*.html;*.htm;*.mhtml)");
        request.patterns = {QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.mhtml")};
        const QString path = Dialogs::saveFileName(request);
        if (path.isEmpty())
            return;
        const QString ext = QFileInfo(path).suffix().toLower();
        m_page->save(path, ext == u"mhtml" || ext == u"mht" ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
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
    case PrintPreview:
        printPreview();
        break;
    case PageSetup: {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPageSetupDialog dialog(m_printer.get(), m_view);
        runDialog(&dialog);
        break;
    }
    default:
        break;
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
