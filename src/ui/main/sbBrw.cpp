#include "sbBrw.h"

#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/widgets/WebEngineBrowser.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kWaitPasses = 10000;
}

sbBrw::sbBrw(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Form1"));
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
}

sbBrw::~sbBrw() = default;

QImage sbBrw::Act(const QString &sURL, QWidget *parent)
{
    sbBrw w(parent);
    w.bDone = false;
    w.WebBrow->Navigate(sURL);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        w.move(s.x() + (s.width() - w.frameGeometry().width()) / 2,
               s.y() + (s.height() - w.frameGeometry().height()) / 2);
    }
    w.exec();
    return w.m_picture;
}

void sbBrw::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        QTimer::singleShot(0, this, &sbBrw::Form_Activate);
    }
}

void sbBrw::Form_Activate()
{
    // The page first; a page that never completes still gets its question.
    EventWait::passes(kWaitPasses, [this] { return bDone; });
    // The browser's error page is no picture of the page: the stored one stays.
    if (m_failed) {
        accept();
        return;
    }
    Dialogs::message(tr("全て表示されたら　OK ボタンを押して下さい"));
    EventWait::once();
    // The picture comes from the window itself once the page has painted; the clipboard is
    // never touched.
    bool taken = false;
    WebBrow->grabWhenPainted([this, &taken](const QImage &img) {
        m_picture = img;
        taken = true;
    });
    if (!EventWait::passes(kWaitPasses, [&taken] { return taken; }))
        m_picture = QImage();
    accept();
}
