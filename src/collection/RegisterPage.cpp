#include "RegisterPage.h"

#include "collection/LinkIndex.h"
#include "collection/Registration.h"
#include "platform/DataFolder.h"
#include "store/GroupList.h"
#include "store/LinkStore.h"
#include "store/TextStore.h"

namespace {
constexpr double kNewGroupSort = 100;
}

RegisterPage::RegisterPage(Picture *picture, Copy *copy, LinkIndex *index)
    : m_picture(picture)
    , m_copy(copy)
    , m_index(index)
{
}

std::optional<qint64> RegisterPage::groupOf(const GroupList &groups, const QString &text)
{
    if (text.isEmpty() || text == u'*')
        return 0;
    return groups.find(text);
}

RegisterPage::Outcome RegisterPage::run(const Page &page, const ActiveRow &row, qint64 addedSecs)
{
    Outcome out;
    qint64 n = 0;
    if (page.isNew) {
        if (!LinkStore::nextLinkNumber(n, &out.error)) {
            out.result = Result::NoNumber;
            return out;
        }
    } else if (!Registration::rowMatches(row.listRows, row.number, page.nCurURL, &n)) {
        out.result = Result::NotOnShow;
        return out;
    }
    // Taking the picture lets other events run: the number is taken again after it.
    const QImage picture = m_picture ? m_picture->take() : QImage();
    if (page.isNew && !LinkStore::nextLinkNumber(n, &out.error)) {
        out.result = Result::NoNumber;
        return out;
    }
    LinkRecord link = Registration::record(n, page.address, page.nGrp, page.memo, page.sortText);
    const bool saved = page.newGroup.isEmpty()
        ? Registration::save(page.isNew, link, addedSecs, &out.error)
        : LinkStore::saveInNewGroup(page.newGroup, kNewGroupSort, link, page.isNew, addedSecs,
                                    &out.error);
    if (!saved)
        return out;
    if (m_picture && !picture.isNull())
        m_picture->write(picture, n);
    if (m_copy && (page.isNew || !m_copy->has(n)))
        m_copy->save(page.address, n);
    if (!page.isNew)
        link.sURL = row.address; // a correction keeps the stored address
    if (m_index)
        m_index->saved(link);
    // Derived data: a text that cannot be stored now is read from the copy at the next start.
    if (!m_textPh.isEmpty()) {
        TextStore text(DataFolder::textIndex(m_textPh));
        text.put(n, m_text);
    }
    out.result = Result::Saved;
    out.link = link;
    return out;
}
