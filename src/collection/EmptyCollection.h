#pragma once

#include <QString>

// Emptying the collection: every group and link goes (the group-0 row comes back at once) with
// the saved copies and their text, which belong to no link any more; the pictures go only when
// asked for.
class EmptyCollection
{
public:
    explicit EmptyCollection(const QString &dataPh);
    // False with *error when nothing was deleted.
    bool run(QString *error = nullptr);
    void removePictures();

private:
    QString m_dataPh;
};
