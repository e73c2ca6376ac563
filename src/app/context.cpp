#include "app/context.h"

namespace vt {

AppContext::AppContext(std::string appDir) : appDir_(std::move(appDir)), log_(appDir_ + "/Log") {
    // A missing file leaves the real-world hosts in place.
    hosts_.Load(DataDir() + "/Hosts.ini");
}

AppContext::~AppContext() = default;

}  // namespace vt
