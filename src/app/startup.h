// What happens between process start and the first window, for every front end: the
// settings file and the lists of the settings pages are loaded, Filter.db is opened and
// the description template is read, in the order the panels do it when they are created.
#pragma once

namespace vt {

class AppContext;

void StartUp(AppContext& ctx);

}  // namespace vt
