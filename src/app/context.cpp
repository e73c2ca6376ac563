#include "app/context.h"

namespace vt {

AppContext::AppContext(std::string appDir)
    : appDir_(std::move(appDir)), log_(appDir_ + "/Log"), db_(DataBaseDir()) {
    // A missing file leaves the real-world hosts in place.
    hosts_.Load(DataDir() + "/Hosts.ini");
}

AppContext::~AppContext() {
    panel_.PressStop();
    workers_.JoinAll();
}

}  // namespace vt
