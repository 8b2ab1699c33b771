#pragma once

#include <QDialog>

#include <functional>

class WebBrowser;

// The maintenance window's viewer of saved copies: a window of its own beside the modal
// maintenance window, so that the grids, and the marks of a check, stay as they are while the
// user looks at a dead link's copy. Scripts are off for the copies.
class SavedPageWindow : public QDialog
{
    Q_OBJECT
public:
    using BrowserFactory = std::function<WebBrowser *(QWidget *parent)>;

    // browserFactory empty: the real browser.
    explicit SavedPageWindow(QWidget *parent, const BrowserFactory &browserFactory = {});

    WebBrowser *browser() const { return m_web; }
    // Shows the copy of link nURL (stored under address), or says that there is none. Rows
    // without a number (never stored) show nothing.
    bool open(const QString &number, const QString &address);

private:
    WebBrowser *m_web = nullptr;
};
