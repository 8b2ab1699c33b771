#pragma once

#include "platform/WebBrowser.h"

#include <QStringList>

// A browser without a page: records what the window asks of it and completes documents when
// the test says so.
class FakeBrowser : public WebBrowser
{
    Q_OBJECT
public:
    using WebBrowser::WebBrowser;

    void Navigate(const QString &address) override { calls << QStringLiteral("Navigate ") + address; location = address; }
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
    QString homePage() const override { return home; }
    QString searchPage() const override { return search; }
    void setHomePage(const QString &a) override { home = a; }
    void setSearchPage(const QString &a) override { search = a; }

    // A document completes with these values.
    void complete(const QString &url, const QString &pageTitle, const QString &pageText)
    {
        location = url;
        title = pageTitle;
        text = pageText;
        Q_EMIT DocumentComplete(url, pageTitle, pageText);
    }

    QStringList calls;
    QString location, title, text, html, home, search;
};
