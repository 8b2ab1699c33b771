#include "SearchBox.h"

#include "platform/Dialogs.h"
#include "store/Store.h"
#include "ui/main/LinkListView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#ifdef __GLIBC__
#include <malloc.h>
#endif

struct SearchBox::Job
{
    CollectionIndex index;
    bool ok = false;
    QString error;
};

SearchBox::SearchBox(QLineEdit *box, LinkListView *list, QLabel *count, QObject *parent)
    : QObject(parent)
    , m_box(box)
    , m_list(list)
    , m_count(count)
    , m_driver(m_index.search())
{
    connect(m_box, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_textSearch && m_textSearch(text)) {
            m_driver.setText({}, false);
            return;
        }
        // Typed while the index is read: answered once it is ready.
        if (m_worker.joinable())
            return;
        if (ensureBuilt())
            m_driver.setText(text);
    });
    connect(&m_driver, &SearchDriver::found, this, &SearchBox::showFound);
    connect(&m_driver, &SearchDriver::cleared, this, [this] {
        if (m_count)
            m_count->clear();
        Q_EMIT cleared();
    });
    m_box->installEventFilter(this);
}

SearchBox::~SearchBox()
{
    if (m_worker.joinable())
        m_worker.join();
}

void SearchBox::prepare()
{
    if (m_index.isBuilt() || m_worker.joinable())
        return;
    m_box->setPlaceholderText(tr("準備中"));
    auto job = std::make_shared<Job>();
    m_job = job;
    m_pending.clear();
    m_worker = std::thread([this, job, path = Store::path()] {
        Store::Reader reader(path);
        if (!reader.isOpen()) {
            job->error = reader.error();
        } else {
            job->ok = job->index.build(&job->error, [&](const std::vector<PackedRow> &rows) {
#ifdef __GLIBC__
                // The sort's scratch (tens of MB with a million links) is given back before
                // the index is made, instead of staying beside it as free memory.
                malloc_trim(0);
#endif
                // The grid's own handles on the rows, copied once: a million links' copies
                // would stay with the window's heap.
                QMetaObject::invokeMethod(
                    this,
                    [this, rows]() mutable {
                        m_listRead = std::move(rows);
                        Q_EMIT listRead();
                    },
                    Qt::QueuedConnection);
            });
        }
        QMetaObject::invokeMethod(this, &SearchBox::adopt, Qt::QueuedConnection);
    });
}

void SearchBox::adopt()
{
    if (!m_worker.joinable())
        return; // taken already by ensureBuilt
    m_worker.join();
    const std::shared_ptr<Job> job = std::move(m_job);
    m_box->setPlaceholderText({});
    if (!job->ok) {
        m_pending.clear();
        Dialogs::message(tr("検索の準備に失敗しました: %1").arg(job->error));
        return;
    }
    m_index = std::move(job->index);
#ifdef __GLIBC__
    // The reading's scratch (a million links' sort entries, the worker's freed blocks) is given
    // back to the system instead of staying with the window for good.
    malloc_trim(0);
#endif
    for (const auto &change : std::exchange(m_pending, {})) {
        if (const auto *link = std::get_if<LinkRecord>(&change))
            m_index.saved(*link);
        else
            m_index.deleted(std::get<qint64>(change));
    }
    if (m_textSearch && m_textSearch(m_box->text()))
        return;
    if (!m_box->text().trimmed().isEmpty())
        m_driver.setText(m_box->text());
    else if (m_driver.isActive())
        m_driver.refresh();
}

bool SearchBox::ensureBuilt()
{
    if (m_index.isBuilt())
        return true;
    if (m_worker.joinable()) {
        adopt();
        return m_index.isBuilt();
    }
    QString error;
    if (!m_index.build(&error)) {
        Dialogs::message(tr("検索の準備に失敗しました: %1").arg(error));
        return false;
    }
    return true;
}

void SearchBox::setScope(const GroupTree::Scope &scope)
{
    if (m_scope == scope)
        return;
    m_scope = scope;
    if (m_driver.isActive() && m_index.isBuilt())
        showFound(m_driver.result());
    Q_EMIT scopeChanged();
}

void SearchBox::showFound(const SearchResult &result)
{
    std::vector<PackedRow> rows = m_index.rowsOf(result, m_scope);
    if (m_count)
        m_count->setText(tr("%n 件", nullptr, int(rows.size())));
    m_list->fill(std::move(rows));
}

bool SearchBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_box->clear();
        m_driver.setText({});
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The list on show keeps its rows (the registration inserts or corrects its own row, so that
// the active row stays the link on show); the next key searches the changed index.
void SearchBox::saved(const LinkRecord &link)
{
    if (m_worker.joinable())
        m_pending.emplace_back(link);
    m_index.saved(link);
}
void SearchBox::deleted(qint64 nURL)
{
    if (m_worker.joinable())
        m_pending.emplace_back(nURL);
    m_index.deleted(nURL);
}

void SearchBox::clearBox()
{
    m_box->clear();
    m_driver.setText({}, false);
    if (m_count)
        m_count->clear();
}

void SearchBox::research()
{
    if (m_worker.joinable() || !ensureBuilt())
        return;
    m_driver.setText(m_box->text());
}

void SearchBox::rebuild()
{
    if (m_worker.joinable())
        m_worker.join(); // what it read is out of date
    m_job.reset();
    m_index.invalidate();
    prepare();
}
