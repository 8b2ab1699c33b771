#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QUrl;
class QWidget;

// What the windows need of an embedded web browser. The real one sits on Qt WebEngine
// (platform/widgets/WebEngineBrowser); tests use a fake that raises the events by hand.
class WebBrowser : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~WebBrowser() override = default;

    // Command identifiers of ExecWB.
    enum Command { SaveAs = 4, Print = 6, PrintPreview = 7, PageSetup = 8, Refresh = 22 };

    // The view to put into a window; none for a browser without one.
    virtual QWidget *widget() { return nullptr; }

    virtual void Navigate(const QString &address) = 0;
    void Navigate2(const QString &address) { Navigate(address); }
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void GoHome() = 0;
    virtual void GoSearch() = 0;
    // Commands that cannot be carried out (nothing loaded) do nothing.
    virtual void ExecWB(int command, int option = 0) = 0;

    virtual QString LocationURL() const = 0;
    virtual QString LocationName() const = 0;
    // The body's text (lines ending in CR LF) and markup of the document on show, as fetched
    // just before the last DocumentComplete; empty when nothing is loaded.
    virtual QString bodyText() const = 0;
    virtual QString bodyHtml() const = 0;
    // The body's text (html false; lines ending in CR LF) or markup of the document as it is
    // now, scripts' changes included. done comes later, from the event loop, with an empty
    // text when nothing is loaded; never after the browser is gone.
    virtual void fetchBody(bool html, std::function<void(const QString &)> done) = 0;

    // Saves the document on show as one self-contained MHTML file at path. done(ok, reason)
    // comes later, from the event loop, once the file is complete or the save has failed
    // (reason says why); never after the browser is gone.
    using SaveDone = std::function<void(bool ok, const QString &reason)>;
    virtual void saveArchive(const QString &path, SaveDone done) = 0;
    // Documents in this folder are saved copies of pages: they are shown with scripts off,
    // every other document with scripts on.
    virtual void setArchiveFolder(const QString &folder) = 0;
    // Whether the scripts of the document on show (or being loaded) may run.
    virtual bool scriptsEnabled() const = 0;
    // A local file directly in folder (a saved copy); false for an empty folder.
    static bool isArchived(const QUrl &url, const QString &folder);

    virtual QString homePage() const = 0;
    virtual QString searchPage() const = 0;
    virtual void setHomePage(const QString &address) = 0;
    virtual void setSearchPage(const QString &address) = 0;

Q_SIGNALS:
    // A document finished loading; address, title and text are available together.
    // loadFailed: the page could not be loaded (no such host, refused, offline ...); what is
    // on show is the browser's own error page. A page the server answered, an error status
    // such as 404 included, is no failure.
    void DocumentComplete(const QString &url, const QString &title, const QString &bodyText,
                          bool loadFailed);
    // Comes just before the DocumentComplete of a failed load, with the browser's reason.
    void LoadFailed(const QString &url, const QString &reason);
    // The page asked for a new window; it has been refused already.
    void NewWindow2();
    // The address on show changed (a page began to load, or moved within itself).
    void LocationChanged(const QString &url);
};
