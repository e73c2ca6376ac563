// Escaping of text put into the stand-ins' pages.
#pragma once

#include <string>

namespace vt::sim {

// Escapes text for HTML content and attribute values.
std::string EscapeHtml(const std::string& text);

}  // namespace vt::sim
