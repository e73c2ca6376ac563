// The description writer on book fields and sections taken from any product page: with
// a template that holds no markup, neither description may hold a "<" from a field.
#include "detail/description.h"

#include <string>

#include "base/text.h"
#include "core/book_types.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

int FuzzDescription(const std::uint8_t* data, std::size_t size) {
    const auto parts = SplitInput(data, size, 10);
    O_BookInfo book;
    book.BookName = parts[0];
    book.Author = parts[1];
    book.PressName = parts[2];
    book.ISBN = parts[3];
    book.OuterCode = parts[4];
    book.Abstract = parts[5];
    book.EditorRecommend = parts[6];
    book.BookCatalog = parts[7];
    book.MediaReview = parts[8];
    const BookParams params{parts[9], parts[9], parts[9], parts[9], parts[9]};
    static const std::string kTemplate =
        "[QianZhui]|[shuming]|[dingjia]|[zuozhe]|[chubanshe]|[chubanriqi]|[isbn]|[zishu]|"
        "[yeshu]|[banci]|[baozhuang]|[kaiben]|[bianma]|[neirongjianjie]|[zuozhejianjie]|[mulu]|"
        "[chatu]|[meitituijian]|[bianjituijian]|[HouZhui]";
    BuildDescriptions(book, params, kTemplate, "", "", {});
    Require(book.Description.find_first_of("<>\"'") == std::string::npos,
            "no markup from a field reaches the description");
    // The mobile skeleton's own "</A>" is its one "<".
    std::size_t brackets = 0;
    for (char c : book.MobileDescription) brackets += c == '<';
    Require(brackets == 1, "no markup from a field reaches the mobile description");
    return 0;
}

}  // namespace vt::fuzz
