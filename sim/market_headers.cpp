#include "sim/market_headers.h"

#include <cstddef>
#include <vector>

namespace vt::sim {
namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

enum class Match { Exact, Contains, NoCase };

struct Expected {
    std::string name;
    std::string value;
    Match match;
};

}  // namespace

std::string CheckPostHeaders(const HttpRequest& req, const PostShape& shape) {
    std::vector<Expected> expected = {
        {"User-Agent", "Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0",
         Match::Exact},
        {"Accept", "text/html, application/xhtml+xml, */*", Match::Exact},
        {"Accept-Language", "zh-CN", Match::Exact},
        {"Accept-Charset", "GBK", Match::Exact},
        {"Keep-Alive", "115", Match::Exact},
        {"DNT", "1", Match::Exact},
        {"Connection", "keep-alive", Match::NoCase},
        {"Referer", shape.refererPath, Match::Contains},
        {"Content-Type", shape.contentType, Match::Exact},
    };
    if (shape.ajax)
        expected.push_back({"X-Requested-With", "XMLHttpRequest", Match::Exact});

    std::size_t previous = 0;
    bool first = true;
    for (const Expected& want : expected) {
        std::size_t index = req.headers.size();
        for (std::size_t i = 0; i < req.headers.size(); ++i) {
            if (Lower(req.headers[i].first) == Lower(want.name)) {
                index = i;
                break;
            }
        }
        if (index == req.headers.size())
            return want.name;
        const std::string& value = req.headers[index].second;
        bool ok = want.match == Match::Exact    ? value == want.value
                  : want.match == Match::NoCase ? Lower(value) == Lower(want.value)
                                                : value.find(want.value) != std::string::npos;
        if (!ok || (!first && index < previous))
            return want.name;
        previous = index;
        first = false;
    }
    return {};
}

}  // namespace vt::sim
