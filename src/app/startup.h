// What happens between process start and the first window, for every front end: the
// settings file and the lists of the settings pages are loaded, Filter.db is opened and
// the description template is read, in the order the panels do it when they are created.
#pragma once

#include <vector>

#include "core/setting_checks.h"

namespace vt {

class AppContext;

// Returns the settings values that were refused and replaced by their defaults (already
// logged); the front end tells the seller about them.
std::vector<SettingProblem> StartUp(AppContext& ctx);

}  // namespace vt
