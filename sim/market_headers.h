// The header set every marketplace POST carries: a browser's fixed lines in a fixed
// order, then the operation's Referer and Content-Type (and, for the page's ajax calls,
// X-Requested-With). The stand-in refuses a POST whose set differs, as the seller pages'
// front end would.
#pragma once

#include <string>

#include "sim/http_server.h"

namespace vt::sim {

struct PostShape {
    std::string refererPath;  // the Referer must contain this path
    std::string contentType;  // exact value
    bool ajax = false;        // X-Requested-With: XMLHttpRequest after the Content-Type
};

// Empty when the request carries the set in order; otherwise the name of the first
// header that is missing, has another value or stands out of order.
std::string CheckPostHeaders(const HttpRequest& req, const PostShape& shape);

}  // namespace vt::sim
