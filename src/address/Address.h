#pragma once

#include <QString>

namespace Address {

// Only web pages, local files and FTP are opened or written as links: a stored "javascript:"
// or "data:" address would otherwise run in the page that shows it.
bool isOpenable(const QString &address);

} // namespace Address
