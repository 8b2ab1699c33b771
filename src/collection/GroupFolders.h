#pragma once

#include "platform/PackedRow.h"
#include "store/GroupTree.h"

#include <QString>

#include <vector>

// The group tree as the selector, the list and the command line use it: a folder's links with
// or without those of every folder below it, and the links each folder holds.
namespace GroupFolders {

// Every group of the open collection as a tree.
bool load(GroupTree &tree, QString *error = nullptr);

struct Count
{
    qint64 links = 0; // in its own groups
    qint64 below = 0; // in the folders below it
};
// The links of each folder of tree, index for index.
bool count(const GroupTree &tree, std::vector<Count> &out, QString *error = nullptr);

// The links of the folder at index of tree and, with below, of every folder under it: folder
// by folder in tree order, each folder's in the list's order; the group column holds each
// link's full path.
bool loadFolder(const GroupTree &tree, int index, bool below, std::vector<PackedRow> &rows,
                QString *error = nullptr);

} // namespace GroupFolders
