#include "sbBrw.h"

#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/widgets/WebEngineBrowser.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace {
constexpr int kWaitPasses = 10000;
}

sbBrw::sbBrw(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("sbBrw"));
    setWindowTitle(Dialogs::title());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    WebBrow = new WebEngineBrowser(this);
    layout->addWidget(WebBrow->widget());
    // The design size of the client area.
    resize(Twips::toPixelsX(9885), Twips::toPixelsY(6990));
    connect(WebBrow, &WebBrowser::DocumentComplete, this,
            [this](const QString &, const QString &, const QString &, bool failed) {
                bDone = true;
                m_failed = failed;
            });
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - frameGeometry().width()) / 2,
             s.y() + (s.height() - frameGeometry().height()) / 2);
    }
}

sbBrw::~sbBrw() = default;

QImage sbBrw::Act(const QString &sURL, QWidget *parent)
{
    sbBrw w(parent);
    w.bDone = false;
    w.WebBrow->Navigate(sURL);
    w.exec();
    return w.m_picture;
}

QImage sbBrw::take(const QString &sURL, bool ask, const std::function<bool()> &stopped)
{
    m_running = true;
    bDone = false;
    m_failed = false;
    WebBrow->Navigate(sURL);
    if (!isVisible())
        show();
    return capture(ask, stopped);
}

void sbBrw::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated && !m_running) {
        m_activated = true;
        QTimer::singleShot(0, this, &sbBrw::Form_Activate);
    }
}

void sbBrw::keyPressEvent(QKeyEvent *event)
{
    if (m_running && event->key() == Qt::Key_Escape) {
        Q_EMIT stopRequested();
        return;
    }
    QDialog::keyPressEvent(event);
}

void sbBrw::closeEvent(QCloseEvent *event)
{
    if (m_running)
        Q_EMIT stopRequested();
    QDialog::closeEvent(event);
}

void sbBrw::Form_Activate()
{
    m_picture = capture(true, [] { return false; });
    accept();
}

QImage sbBrw::capture(bool ask, const std::function<bool()> &stopped)
{
    // The page first; a page that never completes still gets its question.
    EventWait::passes(kWaitPasses, [this, &stopped] { return bDone || stopped(); });
    // The browser's error page is no picture of the page: the stored one stays.
    if (m_failed || stopped())
        return {};
    if (ask)
        Dialogs::message(tr("全て表示されたら　OK ボタンを押して下さい"));
    EventWait::once();
    // The picture comes from the window itself once the page has painted; the clipboard is
    // never touched.
    // The grab may answer after a stop: it writes where it still may.
    auto picture = std::make_shared<std::optional<QImage>>();
    WebBrow->grabWhenPainted([picture](const QImage &img) { *picture = img; });
    EventWait::passes(kWaitPasses, [&] { return picture->has_value() || stopped(); });
    return picture->has_value() && !stopped() ? **picture : QImage();
}
