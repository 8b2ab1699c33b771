#pragma once

#include <QString>

// What the main window's address bar opens for the text typed into it.
namespace AddressBar {

// An address the program opens as it is; a bare host name ("example.org/path") as an https
// page; any other text as a search on the search page (its "%s" replaced, else its query
// "q"). Empty for blank text.
QString target(const QString &typed, const QString &searchPage);

} // namespace AddressBar
