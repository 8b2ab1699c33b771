#pragma once

#include "store/Records.h"

#include <QImage>
#include <QString>

#include <optional>

class GroupList;
class LinkIndex;

// F3: the page on show becomes a new link, or corrects the registered one, with its picture,
// its saved copy and the search index told. The window gives what its panel holds and asks
// its own questions first; this takes no decision that needs the user.
class RegisterPage
{
public:
    // The page picture: taken before the link is saved, written only once it is.
    class Picture
    {
    public:
        virtual ~Picture() = default;
        // The finished picture of the page the browser shows now; null when none is taken.
        virtual QImage take() = 0;
        virtual void write(const QImage &picture, qint64 nURL) = 0;
    };
    // The page's saved copy; it tells its own failure, later.
    class Copy
    {
    public:
        virtual ~Copy() = default;
        virtual bool has(qint64 nURL) = 0;
        virtual void save(const QString &address, qint64 nURL) = 0;
    };

    // What the panel holds when F3 is pressed.
    struct Page
    {
        bool isNew = true;
        QString address; // the completed page's
        qint64 nCurURL = 0; // the registered link on show
        qint64 nGrp = 0;
        QString newGroup; // not empty: this group is made (next number, sort key 100) for the link
        QString memo;
        QString sortText;
    };
    // The list's active row: a correction is saved only when it holds the link on show.
    struct ActiveRow
    {
        int listRows = 0;
        QString number;
        QString address;
    };

    enum class Result { Saved, NotOnShow, NoNumber, Failed };
    struct Outcome
    {
        Result result = Result::Failed;
        LinkRecord link; // as stored; a correction keeps the stored address
        QString error;
    };

    // Any of the three may be null: no picture, no copy, no index.
    RegisterPage(Picture *picture, Copy *copy, LinkIndex *index);

    // The group a typed name stands for: empty and "*" (every group) stand for group 0; none
    // when no group has that name (group 0's own name included).
    static std::optional<qint64> groupOf(const GroupList &groups, const QString &text);

    // The page's body text goes into the full-text index of the data folder dataPh as well.
    void keepText(const QString &dataPh, const QString &text)
    {
        m_textPh = dataPh;
        m_text = text;
    }

    Outcome run(const Page &page, const ActiveRow &row, qint64 addedSecs);

private:
    Picture *m_picture;
    Copy *m_copy;
    LinkIndex *m_index;
    QString m_textPh;
    QString m_text;
};
