#pragma once

class WebBrowser;

// The commands of the browser menu, by item index: home, search, page setup, preview, print,
// refresh, save, and the three copies to the clipboard. An index without a command does nothing.
namespace BrowserCommands {

void run(WebBrowser *web, int index);

} // namespace BrowserCommands
