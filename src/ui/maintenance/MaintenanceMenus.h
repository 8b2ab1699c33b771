#pragma once

class fmData;

// The menu bar of the maintenance window: "ﾌｧｲﾙ(&F)", "分類(&B)" and "URL(&U)", each item
// calling the window's command.
namespace MaintenanceMenus {

void build(fmData &w);

} // namespace MaintenanceMenus
