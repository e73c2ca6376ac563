// The three list layouts share one driver: parse the page into a fresh to-collect list
// and check every row that came out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vt {
class AppContext;
}

namespace vt::fuzz {

using ListParser = void (*)(AppContext& ctx, const std::string& page);

int FuzzListLayout(const std::uint8_t* data, std::size_t size, ListParser parse);

}  // namespace vt::fuzz
