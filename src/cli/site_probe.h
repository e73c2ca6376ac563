// Whether the sites a command needs can be reached, checked before any work and again
// when a job went wrong, so that an unreachable site is named with its role, its
// configured address and the transport's own error instead of showing as "found 0".
#pragma once

#include <initializer_list>
#include <string>

#include "base/hosts.h"

namespace vt::cli {

// "bookstore search", "marketplace login" … for messages.
const char* RoleLabel(HostRole role);

// Empty when a connection (and for https the certificate check) succeeds; otherwise
// "bookstore search (Data/Hosts.ini SourceSearch = http://…) cannot be reached: connection
// refused" (UTF-8). Roles sharing an origin are tried once.
std::string FirstUnreachable(const Hosts& hosts, std::initializer_list<HostRole> roles);

}  // namespace vt::cli
