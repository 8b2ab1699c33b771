#pragma once

#include "platform/WebBrowser.h"

#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QUrl>

// A browser without a page: records what the window asks of it and completes documents when
// the test says so.
class FakeBrowser : public WebBrowser
{
    Q_OBJECT
public:
    using WebBrowser::WebBrowser;

    void Navigate(const QString &address) override
    {
        calls << QStringLiteral("Navigate ") + address;
        location = address;
    }
    void GoBack() override { calls << QStringLiteral("GoBack"); }
    void GoForward() override { calls << QStringLiteral("GoForward"); }
    void GoHome() override { calls << QStringLiteral("GoHome"); }
    void GoSearch() override { calls << QStringLiteral("GoSearch"); }
    void ExecWB(int command, int option = 0) override
    {
        calls << QStringLiteral("ExecWB %1 %2").arg(command).arg(option);
    }
    QString LocationURL() const override { return location; }
    QString LocationName() const override { return title; }
    QString bodyText() const override { return text; }
    QString bodyHtml() const override { return html; }
    // The document as it is now: liveText and liveHtml, which a test may change after the
    // document completed, as a page's scripts would.
    void fetchBody(bool wantHtml, std::function<void(const QString &)> done) override
    {
        calls << QStringLiteral("fetchBody %1")
                     .arg(wantHtml ? QStringLiteral("html") : QStringLiteral("text"));
        const QString body = location.isEmpty() ? QString() : wantHtml ? liveHtml : liveText;
        QTimer::singleShot(0, this, [done = std::move(done), body] { done(body); });
    }
    // Writes archiveBytes (or, when archiveSize is set, that many bytes) to the path, or fails
    // with archiveError, from the event loop.
    void saveArchive(const QString &path, SaveDone done) override
    {
        calls << QStringLiteral("saveArchive ") + path;
        QTimer::singleShot(0, this, [this, path, done = std::move(done)] {
            if (!archiveError.isEmpty())
                return done(false, archiveError);
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(archiveBytes) != archiveBytes.size()
                || (archiveSize > 0 && !f.resize(archiveSize)))
                return done(false, f.errorString());
            f.close();
            done(true, QString());
        });
    }
    void setArchiveFolder(const QString &folder) override { archiveFolder = folder; }
    bool scriptsEnabled() const override
    {
        return !isArchived(QUrl::fromUserInput(location), archiveFolder);
    }
    QString homePage() const override { return home; }
    QString searchPage() const override { return search; }
    void setHomePage(const QString &a) override { home = a; }
    void setSearchPage(const QString &a) override { search = a; }

    // A document completes with these values.
    void complete(const QString &url, const QString &pageTitle, const QString &pageText)
    {
        location = url;
        title = pageTitle;
        text = liveText = pageText;
        liveHtml = html;
        Q_EMIT DocumentComplete(url, pageTitle, pageText, false);
    }
    // A load that failed: the browser's error page is on show under the address.
    void fail(const QString &url, const QString &reason, const QString &errorPageText = QString())
    {
        location = url;
        title = url;
        text = liveText = errorPageText;
        Q_EMIT LoadFailed(url, reason);
        Q_EMIT DocumentComplete(url, title, errorPageText, true);
    }

    QStringList calls;
    QString location, title, text, html, home, search;
    QString liveText, liveHtml;
    QByteArray archiveBytes = "MIME-Version: 1.0\r\n";
    qint64 archiveSize = 0;
    QString archiveError;
    QString archiveFolder;
};
