#include "app/context.h"

namespace vt {

AppContext::AppContext(std::string appDir)
    : appDir_(std::move(appDir)), log_(appDir_ + "/Log"), db_(DataBaseDir()) {}

AppContext::~AppContext() {
    panel_.PressStop();
    workers_.JoinAll();
}

}  // namespace vt
