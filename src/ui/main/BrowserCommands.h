#pragma once

class QString;
class WebBrowser;
class yIni;

// The commands of the browser menu, by item index: home, search, page setup, preview, print,
// refresh, save, and the three copies to the clipboard. An index without a command does nothing.
namespace BrowserCommands {

void run(WebBrowser *web, int index);

// Home and search pages from the optional settings "HOME_URL" and "SEARCH_URL" (read, never
// written); without them the environment's, then the portal page written last, else the
// search page.
void setPages(WebBrowser *web, yIni &ini, const QString &dataPh);

} // namespace BrowserCommands
