#include "SavedPageWindow.h"

#include "app/Usr.h"
#include "pages/PageArchive.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "platform/widgets/WebEngineBrowser.h"

#include <QShortcut>
#include <QVBoxLayout>

SavedPageWindow::SavedPageWindow(QWidget *parent, const BrowserFactory &browserFactory)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_web = browserFactory ? browserFactory(this) : new WebEngineBrowser(this);
    if (QWidget *view = m_web->widget())
        layout->addWidget(view);
    resize(Twips::toPixelsX(9885), Twips::toPixelsY(6990));
    // Escape closes it, even while the page has the focus.
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QDialog::close);
}

bool SavedPageWindow::open(const QString &number, const QString &address)
{
    bool ok = false;
    const qint64 n = number.toLongLong(&ok);
    if (!ok)
        return false;
    QString caption, error;
    if (!PageArchive::open(m_web, Usr::sDataPh, n, address, &caption, &error)) {
        Dialogs::message(error);
        return false;
    }
    setWindowTitle(caption);
    show();
    raise();
    activateWindow();
    return true;
}
