#pragma once

class fmLink;

// The main window's menu bar: "ﾌｧｲﾙ(&F)", "ﾌﾞﾗｳｻﾞ(&L)", "ﾘｽﾄ(&S)" and "登録(&D)", each item
// dispatching to the window's click handler with its index.
namespace MainMenus {

void build(fmLink &w);

} // namespace MainMenus
