#pragma once

#include "platform/WebBrowser.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <functional>
#include <memory>

class QDialog;
class QPrinter;
class QWebEngineView;

// The browser on Qt WebEngine. DocumentComplete comes once the body's text and markup have
// been fetched, so its handler gets address, title and text together. New windows are refused.
class WebEngineBrowser : public WebBrowser
{
    Q_OBJECT
public:
    explicit WebEngineBrowser(QWidget *parent = nullptr);
    ~WebEngineBrowser() override;

    QWidget *widget() override;
    QWebEngineView *view() const { return m_view; }

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void GoSearch() override;
    void ExecWB(int command, int option = 0) override;

    QString LocationURL() const override;
    QString LocationName() const override;
    QString bodyText() const override { return m_text; }
    QString bodyHtml() const override { return m_html; }
    void fetchBody(bool html, std::function<void(const QString &)> done) override;
    void saveArchive(const QString &path, SaveDone done) override;
    void setArchiveFolder(const QString &folder) override { m_archiveFolder = folder; }
    bool scriptsEnabled() const override;
    // How long a save may take before it is given up.
    int saveTimeoutMs = 60000;

    QString homePage() const override { return m_home; }
    QString searchPage() const override { return m_search; }
    void setHomePage(const QString &address) override { m_home = address; }
    void setSearchPage(const QString &address) override { m_search = address; }

    // Calls done with the view's picture once the page has painted its frames; a view that is
    // not shown paints nothing.
    void grabWhenPainted(std::function<void(const QImage &)> done);

    // Runs the print, preview and page setup dialogs; tests replace it. True for OK.
    std::function<bool(QDialog *)> runDialog;

    // Page address for a typed or stored text: a local file path or a web address.
    static QUrl toUrl(const QString &address);

private:
    // failure: why the load failed; empty when the page came (an error status included).
    void onLoadFinished(const QString &failure);
    void onConsole(const QString &message);
    bool loaded() const;
    void printPreview();
    void requestFrames(const QString &marker);
    void beforeNavigation(const QUrl &url);
    void readWithoutScripts(bool html, std::function<void(const QString &)> done);
    void watchRenders();

    class Page;
    // True while this adapter and its page both exist; every late callback checks it.
    std::shared_ptr<bool> m_live = std::make_shared<bool>(true);
    QWebEngineView *m_view;
    Page *m_page;
    QString m_home;
    QString m_search;
    QString m_archiveFolder;
    QString m_text;
    QString m_html;
    quint64 m_loadSerial = 0;
    std::unique_ptr<QPrinter> m_printer;
    bool m_printing = false;
    struct Grab
    {
        QString marker;
        quint64 renders = 0;
        int rounds = 0;
        std::function<void(const QImage &)> done;
    };
    QList<Grab> m_grabs;
    quint64 m_grabSerial = 0;
    quint64 m_renders = 0;
    QPointer<QObject> m_watched;
    static constexpr int kPaintRounds = 3;
    static constexpr int kMaxPaintRounds = 8;
};
