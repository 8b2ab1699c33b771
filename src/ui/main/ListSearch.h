#pragma once

#include "search/CollectionIndex.h"
#include "search/SearchDriver.h"

#include <QObject>

class LinkListView;
class QLineEdit;

// The search box of the main window: typing filters the list to the links that hold every
// word, in the list's usual order, without a button; an empty box or Escape gives the list
// back to the group selector. The index over the whole collection is built once the window
// shows and kept correct as links are registered and deleted.
class ListSearch : public QObject
{
    Q_OBJECT
public:
    ListSearch(QLineEdit *box, LinkListView *list, QObject *parent = nullptr);

    // Builds the index now if it is not built (a failure is shown); true when it is ready.
    bool ensureBuilt();
    CollectionIndex &index() { return m_index; }
    bool isActive() const { return m_driver.isActive(); }

    // A link was registered, corrected or deleted: the index follows. Anything larger changes
    // the collection: rebuild() reads it again.
    void saved(const LinkRecord &link);
    void deleted(qint32 nURL);
    void rebuild();
    // Empties the box without touching the list (the list is being filled otherwise).
    void clearBox();

Q_SIGNALS:
    // The box was emptied: the list shows what the group selector says.
    void cleared();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_box;
    LinkListView *m_list;
    CollectionIndex m_index;
    SearchDriver m_driver;
};
