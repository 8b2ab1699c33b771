#include "TextSearch.h"

#include "app/Usr.h"
#include "pages/TextBackfill.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "search/TextIndex.h"
#include "search/TextPieces.h"
#include "settings/yIni.h"
#include "store/Store.h"
#include "ui/main/LinkListView.h"
#include "ui/main/SearchBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QThread>
#include <QThreadPool>
#include <QToolTip>

namespace {
const QString kSetting = QStringLiteral("FIND_TEXT");
constexpr int kNamedFiles = 10; // unreadable copies named in the message
} // namespace

struct TextSearch::Query
{
    QString text;
    std::vector<TextIndex::Found> found;
    bool ok = false;
    QString error;
};

TextSearch::TextSearch(QCheckBox *choice, QLineEdit *box, LinkListView *list, SearchBox *search,
                       QLabel *count, std::function<void()> restore, QObject *parent)
    : QObject(parent)
    , m_choice(choice)
    , m_box(box)
    , m_list(list)
    , m_search(search)
    , m_count(count)
    , m_restore(std::move(restore))
{
    TextPieces::useEverywhere();
    if (Usr::Ini)
        m_choice->setChecked(Usr::Ini->vGtVal(kSetting, 0).toInt() != 0);
    connect(m_choice, &QCheckBox::toggled, this, [this](bool on) {
        if (Usr::Ini)
            Usr::Ini->SetVal(kSetting, on ? 1 : 0);
        if (m_box->text().trimmed().isEmpty())
            return;
        if (on) {
            run(m_box->text());
        } else {
            m_active = false;
            m_search->research();
        }
    });
    m_search->setTextSearch([this](const QString &text) { return run(text); });
    connect(m_search, &SearchBox::scopeChanged, this, [this] {
        if (m_active && isOn() && m_search->isReady())
            showRows();
    });
    m_box->installEventFilter(this);
    m_viewport = m_list->viewport();
    m_viewport->installEventFilter(this);
}

TextSearch::~TextSearch()
{
    stopBackfill();
}

bool TextSearch::isOn() const
{
    return m_choice->isChecked();
}

// True when the text is this search's to answer.
bool TextSearch::run(const QString &text)
{
    if (!isOn())
        return false;
    m_text = text;
    if (text.trimmed().isEmpty()) {
        if (m_active) {
            m_active = false;
            m_shown.clear();
            if (m_count)
                m_count->clear();
            m_restore();
        }
        return true;
    }
    if (!m_running)
        start();
    return true;
}

void TextSearch::start()
{
    m_running = true;
    auto q = std::make_shared<Query>();
    q->text = m_text;
    // The fields' matches come from the window's index here, on its own thread; until it is
    // built, the worker reads the links.
    std::shared_ptr<const TextIndex::Fields> fields;
    if (m_search->isReady())
        fields = std::make_shared<const TextIndex::Fields>(
            TextIndex::fieldsOf(m_search->index().search(), m_text));
    QPointer<TextSearch> self(this);
    QThreadPool::globalInstance()->start(
        [q, self, fields, dataPh = Usr::sDataPh, path = Store::path()] {
            Store::Reader reader(path);
            TextIndex index(dataPh);
            if (!reader.isOpen())
                q->error = reader.error();
            else if (!index.isOpen())
                q->error = index.error();
            else
                q->ok = index.find(q->text, 0, 0, q->found, &q->error, fields.get());
            QMetaObject::invokeMethod(
                qApp,
                [q, self] {
                    if (self)
                        self->show(q);
                },
                Qt::QueuedConnection);
        });
}

void TextSearch::show(const std::shared_ptr<Query> &q)
{
    m_running = false;
    // Only the latest text counts: an older one's result is dropped, and the latest asked for.
    if (q->text != m_text) {
        if (isOn() && !m_text.trimmed().isEmpty())
            start();
        return;
    }
    if (!isOn() || m_text.trimmed().isEmpty())
        return;
    if (!q->ok) {
        Dialogs::message(tr("本文を検索できません: %1").arg(q->error));
        return;
    }
    if (!m_search->ensureBuilt())
        return;
    m_found.clear();
    m_found.reserve(q->found.size());
    for (const TextIndex::Found &f : q->found)
        m_found.push_back(f.nURL);
    m_active = true;
    m_shown = q->text;
    showRows();
}

// The links found, of the groups the selector chooses.
void TextSearch::showRows()
{
    std::vector<PackedRow> rows = m_search->index().rowsOfLinks(m_found, m_search->scope());
    if (m_count)
        m_count->setText(tr("%n 件", nullptr, int(rows.size())));
    m_list->fill(std::move(rows));
}

bool TextSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && m_active) {
        // The search box clears itself and gives the whole list back.
        m_text.clear();
        m_active = false;
        m_shown.clear();
        return false;
    }
    if (watched == m_viewport && event->type() == QEvent::ToolTip && m_active) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int row = m_list->rowAt(help->pos().y()) + 1;
        bool ok = false;
        const qint64 n = row >= 1 ? m_list->GetCell(LinkList::Number, row).toLongLong(&ok) : 0;
        QString snippet;
        if (ok && n != 0)
            snippet = TextIndex(Usr::sDataPh).snippet(m_shown, n);
        if (snippet.isEmpty()) {
            QToolTip::hideText();
            return true;
        }
        QString html = snippet.toHtmlEscaped();
        html.replace(QChar(TextStore::kMarkOpen), QStringLiteral("<b>"));
        html.replace(QChar(TextStore::kMarkClose), QStringLiteral("</b>"));
        QToolTip::showText(help->globalPos(), QStringLiteral("<p>") + html + QStringLiteral("</p>"),
                           m_list->viewport());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TextSearch::backfill(QStatusBar *status)
{
    if (m_backfill)
        return;
    m_status = status;
    auto keepGoing = std::make_shared<std::atomic<bool>>(true);
    m_keepGoing = keepGoing;
    const int run = ++m_runs;
    QPointer<TextSearch> self(this);
    m_backfill
        = QThread::create([keepGoing, self, run, dataPh = Usr::sDataPh, path = Store::path()] {
              Store::Reader reader(path);
              TextBackfill::Result r;
              if (!reader.isOpen()) {
                  r.error = reader.error();
              } else {
                  r = TextBackfill::run(
                      dataPh, [&] { return keepGoing->load(); },
                      [self](int done, int total) {
                          QMetaObject::invokeMethod(
                              qApp,
                              [self, done, total] {
                                  if (self && self->m_status)
                                      self->m_status->showMessage(
                                          tr("本文の索引を作成中 %1 / %2").arg(done).arg(total));
                              },
                              Qt::QueuedConnection);
                      });
              }
              QMetaObject::invokeMethod(
                  qApp,
                  [self, r, run] {
                      // A run stopped for a newer one says nothing.
                      if (!self || self->m_runs != run)
                          return;
                      if (self->m_status)
                          self->m_status->clearMessage();
                      if (self->m_backfill) {
                          self->m_backfill->wait();
                          self->m_backfill->deleteLater();
                          self->m_backfill = nullptr;
                      }
                      if (r.stopped)
                          return;
                      if (!r.error.isEmpty())
                          Dialogs::message(tr("本文の索引を作成できませんでした: %1").arg(r.error));
                      if (!r.unreadable.isEmpty()) {
                          QStringList names = r.unreadable.mid(0, kNamedFiles);
                          if (r.unreadable.size() > kNamedFiles)
                              names << QStringLiteral("…");
                          Dialogs::message(tr("読めない保存ﾍﾟｰｼﾞが %n 件あります", nullptr,
                                              int(r.unreadable.size()))
                                           + u'\n' + names.join(u'\n'));
                      }
                  },
                  Qt::QueuedConnection);
          });
    m_backfill->start(QThread::LowestPriority);
}

void TextSearch::stopBackfill()
{
    if (!m_backfill)
        return;
    m_keepGoing->store(false);
    m_backfill->wait();
    delete m_backfill;
    m_backfill = nullptr;
}

void TextSearch::reindex()
{
    stopBackfill();
    if (!TextIndex::removeFile(Usr::sDataPh)) {
        Dialogs::message(
            tr("検索用の索引を削除できません: %1").arg(DataFolder::textIndex(Usr::sDataPh)));
        return;
    }
    backfill(m_status);
}
