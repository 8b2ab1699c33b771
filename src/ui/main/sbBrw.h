#pragma once

#include <QDialog>
#include <QImage>
#include <functional>

class WebBrowser;
class WebEngineBrowser;

// The capture window: shows one page, asks the user to confirm that it is fully shown when
// asked to, and takes the window's picture.
class sbBrw : public QDialog
{
    Q_OBJECT
public:
    explicit sbBrw(QWidget *parent = nullptr);
    ~sbBrw() override;

    // Shows the page at sURL modally, asks, and returns the window's picture (null when none
    // was taken).
    static QImage Act(const QString &sURL, QWidget *parent = nullptr);

    // One page of a run: the window is not modal, so that the run's progress window answers.
    // ask shows the question for this page; stopped is asked all along, and the page is given
    // up (a null picture) as soon as it says true.
    QImage take(const QString &sURL, bool ask, const std::function<bool()> &stopped);

Q_SIGNALS:
    // Esc or the close box during a run: the user wants the run to end.
    void stopRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Activate();
    QImage capture(bool ask, const std::function<bool()> &stopped);

    WebEngineBrowser *WebBrow = nullptr;
    bool bDone = false;
    QImage m_picture;
    bool m_activated = false;
    bool m_failed = false; // the page could not be loaded
    bool m_running = false; // a page of a run
};
