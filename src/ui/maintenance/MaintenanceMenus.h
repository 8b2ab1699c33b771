#pragma once

#include <QString>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The items of the maintenance window's menus, by index.
namespace DataFile {
enum Item { Reload, Save, Separator1, Reset, Separator2, Quit, Count };
}
namespace DataGrp {
enum Item { Insert, Delete, Separator, CheckGroups, Count };
}
namespace DataURL {
enum Item {
    Check,
    DeleteDead,
    Separator1,
    Delete,
    SelectTwins,
    Separator2,
    MoveToFinal,
    ShowSaved,
    CheckSelected, // shown next to Check; last here, so that the others keep their numbers
    Count
};
}

// The menu bar of the maintenance window: "ﾌｧｲﾙ(&F)", "分類(&B)" and "URL(&U)", each item
// calling its command.
struct MaintenanceMenus
{
    using Command = std::function<void()>;
    struct Commands
    {
        Command reload, save, reset, quit;
        Command insertGroups, deleteGroups, checkGroups;
        Command check, checkSelected, deleteDead, deleteLinks, selectTwins, moveToFinal, showSaved;
    };

    void build(QWidget *owner, const Commands &run);

    QMenuBar *menuBar = nullptr;
    QMenu *mnFile = nullptr;
    QMenu *mnGrp = nullptr;
    QMenu *mnURL = nullptr;
    std::array<QAction *, DataFile::Count> mnFileItem {};
    std::array<QAction *, DataGrp::Count> mnGrpItem {};
    std::array<QAction *, DataURL::Count> mnURLItem {};
};
