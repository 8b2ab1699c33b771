#pragma once

#include <array>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;

// The items of the main window's control arrays, by index.
namespace MnJob {
enum Menu { File, Disp, Slc, Data, Count }; // the menus of the bar; Slc holds mnRet's items too
}
namespace MnFile {
enum Item {
    OpenFolder,
    Compact,
    ImportBookmarks,
    ExportBookmarks,
    Reindex,
    Receiver,
    Separator,
    Quit,
    Count
};
}
namespace MnDisp {
enum Item {
    Home,
    Search,
    Separator1,
    PageSetup,
    PrintPreview,
    Print,
    Separator2,
    Refresh,
    Save,
    Separator3,
    CopyAddress,
    CopyText,
    CopyMarkup,
    Count
};
}
namespace MnSlc {
enum Item { Extract, Recent, Find, Separator, Count };
}
namespace MnRet {
enum Item { Portal, Document, Separator, AllPictures, PictureSettings, Count };
}
namespace MnData {
enum Item { Register, Delete, Separator1, Maintenance, Separator2, ShowSaved, Count };
}
namespace CmWeb {
enum Item { Register, Back, Forward, Search, Count };
}

// The main window's menu bar: "ﾌｧｲﾙ(&F)", "ﾌﾞﾗｳｻﾞ(&L)", "ﾘｽﾄ(&S)" and "登録(&D)", each item
// calling its array's handler with its index.
struct MainMenus
{
    using Click = std::function<void(int index)>;
    struct Handlers
    {
        Click file, disp, slc, ret, data;
    };

    void build(QMainWindow &w, const Handlers &click);

    std::array<QMenu *, MnJob::Count> mnJob {};
    std::array<QAction *, MnFile::Count> mnFile {};
    std::array<QAction *, MnDisp::Count> mnDisp {};
    std::array<QAction *, MnSlc::Count> mnSlc {};
    std::array<QAction *, MnRet::Count> mnRet {};
    std::array<QAction *, MnData::Count> mnData {};
};
