#include "sim/market_categories.h"

#include <cstdint>
#include <iterator>

#include "base/text.h"

namespace vt::sim {
namespace {

struct Category {
    const char* sid;
    const char* path;  // the path array's contents
};

const Category kNewBook[] = {
    {"50010485", "\"书籍/杂志/报纸\",\"小说\""},
    {"50000072", "\"书籍/杂志/报纸\",\"文学\""},
    {"50004877", "\"书籍/杂志/报纸\",\"童书\""},
    {"50000079", "\"书籍/杂志/报纸\",\"教材/教辅/考试\""},
    {"50004843", "\"书籍/杂志/报纸\",\"经济/管理\""},
    {"50010499", "\"书籍/杂志/报纸\",\"计算机/网络\""},
};

const Category kSecondHand[] = {
    {"50015251", "\"书籍/杂志/报纸\",\"二手书\",\"小说\""},
    {"50015252", "\"书籍/杂志/报纸\",\"二手书\",\"文学\""},
    {"50015253", "\"书籍/杂志/报纸\",\"二手书\",\"教材/教辅/考试\""},
};

// A category the service lists for books but which takes no new books.
const Category kReserved = {"121956004", "\"书籍/杂志/报纸\",\"其它\""};

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

std::string Candidate(const Category& c) {
    return std::string("{\"sid\":\"") + c.sid + "\",\"path\":[" + c.path + "],\"leaf\":true}";
}

}  // namespace

CategoryAnswer DefaultCategoryAnswer(const std::string& isbn) {
    switch (Fnv1a(Trim(isbn)) % 20) {
        case 14:
        case 15:
            return CategoryAnswer::ReservedFirst;
        case 16:
        case 17:
            return CategoryAnswer::SecondHandOnly;
        case 18:
            return CategoryAnswer::Short;
        case 19:
            return CategoryAnswer::PriceMissing;
        default:
            return CategoryAnswer::NewBook;
    }
}

std::string CategoryAnswerText(CategoryAnswer answer, const std::string& isbn) {
    const std::uint64_t h = Fnv1a(Trim(isbn)) / 20;
    const Category& book = kNewBook[h % std::size(kNewBook)];
    const Category& used = kSecondHand[h % std::size(kSecondHand)];
    const Category& usedToo = kSecondHand[(h + 1) % std::size(kSecondHand)];
    switch (answer) {
        case CategoryAnswer::NewBook:
            return "[" + Candidate(book) + "," + Candidate(used) + "]";
        case CategoryAnswer::ReservedFirst:
            return "[" + Candidate(kReserved) + "," + Candidate(book) + "]";
        case CategoryAnswer::SecondHandOnly:
            return "[" + Candidate(used) + "," + Candidate(usedToo) + "]";
        case CategoryAnswer::Short:
            return "[]";
        case CategoryAnswer::PriceMissing:
            return "{\"success\":false,\"message\":\"价格为空，无法推荐类目\"}";
    }
    return "[]";
}

bool IsKnownCategory(const std::string& sid) {
    if (sid == kReserved.sid)
        return true;
    for (const Category& c : kNewBook)
        if (sid == c.sid)
            return true;
    for (const Category& c : kSecondHand)
        if (sid == c.sid)
            return true;
    return false;
}

}  // namespace vt::sim
