// What each control of the collection panel does, for any front end: the five mode
// buttons, the tree's double-click, start, stop and the login test.
#pragma once

#include "core/collection_panel.h"

namespace vt {

class AppContext;

// A mode button clicked: the tree is emptied (the category mode fills it again with the
// top-level categories), and only the mode's own input stays enabled.
void ChooseMode(AppContext& ctx, CollectMode mode);

// A node of the tree double-clicked: its sub-categories are read once.
void OpenCategoryNode(AppContext& ctx, int node);

// "开始采集": true when a job started.
bool PressStart(AppContext& ctx);
// "停止采集": the start button is enabled again, which every worker takes as the stop.
void PressStop(AppContext& ctx);

// "检测淘宝网是否登录成功": checks the seller's login; true when it is valid.
bool TestLogin(AppContext& ctx);

}  // namespace vt
