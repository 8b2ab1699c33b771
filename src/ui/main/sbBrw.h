#pragma once

#include <QDialog>
#include <QImage>
#include <functional>

class WebBrowser;
class WebEngineBrowser;

// The capture window: shows one page modally, asks the user to confirm that it is fully
// shown, and takes the window's picture.
class sbBrw : public QDialog
{
    Q_OBJECT
public:
    explicit sbBrw(QWidget *parent = nullptr);
    ~sbBrw() override;

    // Shows the page at sURL and returns the window's picture (null when none was taken).
    static QImage Act(const QString &sURL, QWidget *parent = nullptr);

    bool bDone = false;
    WebEngineBrowser *WebBrow = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Activate();

    QImage m_picture;
    bool m_activated = false;
    bool m_failed = false; // the page could not be loaded
};
