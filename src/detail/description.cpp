#include "detail/description.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/clean_html.h"
#include "base/files.h"
#include "base/gbk_search.h"
#include "base/text.h"
#include "core/book_types.h"
#include "core/context.h"

namespace vt {
namespace {

// Placeholders shared by both texts, in the order they are filled.
std::vector<std::pair<const char*, std::string>> BookValues(const O_BookInfo& book,
                                                            const BookParams& params) {
    return {{"[shuming]", book.BookName},     {"[dingjia]", book.MarketPrice},
            {"[zuozhe]", book.Author},        {"[chubanshe]", book.PressName},
            {"[chubanriqi]", book.PressDate}, {"[isbn]", book.ISBN},
            {"[zishu]", params.WordCount},    {"[yeshu]", params.PageCount},
            {"[banci]", params.Edition},      {"[baozhuang]", params.Binding},
            {"[kaiben]", params.BookFormat}};
}

}  // namespace

std::string LoadDescriptionTemplate(AppContext& ctx) {
    std::string text = ReadTextFile(ctx.DataFilePath("模板.html"), ctx.log());
    ctx.descriptionTemplate().Set(text);
    return text;
}

std::string MaskFilterWords(const WordList& words, std::string text) {
    for (const std::string& word : words)
        if (!word.empty())
            text = GbkReplaceAll(text, word, "***");
    return text;
}

std::string MobileSkeleton() {
    return R"~({"data":[{"type":"text","value":"基本信息"},)~"
           R"~({"type":"text","value":"书名:[shuming]"},)~"
           R"~({"type":"text","value":"定价：[dingjia]元"},)~"
           R"~({"type":"text","value":"作者:[zuozhe]</A>"},)~"
           R"~({"type":"text","value":"出版社：[chubanshe]"},)~"
           R"~({"type":"text","value":"出版日期：[chubanriqi]"},)~"
           R"~({"type":"text","value":"ISBN：[isbn]"},)~"
           R"~({"type":"text","value":"字数：[zishu]"},)~"
           R"~({"type":"text","value":"页码：[yeshu]"},)~"
           R"~({"type":"text","value":"版次：[banci]"},)~"
           R"~({"type":"text","value":"装帧：[baozhuang]"},)~"
           R"~({"type":"text","value":"开本：[kaiben]"},)~"
           R"~({"type":"text","value":"商品标识：[bianma]"},)~"
           R"~({"type":"text","value":""}]})~";
}

std::string JsonStringContent(const std::string& gbk) {
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (IsGbkLeadByte(c) && i + 1 < gbk.size()) {
            out += gbk[i];
            out += gbk[++i];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += gbk[i];
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += gbk[i];
        }
    }
    return out;
}

void BuildDescriptions(O_BookInfo& book, const BookParams& params, const std::string& templateText,
                       const std::string& prefix, const std::string& suffix,
                       const WordList& filterWords) {
    // Each step replaces in the whole text, so a value holding a later placeholder has
    // that placeholder filled too.
    std::string html = templateText;
    const std::pair<const char*, const std::string*> sections[] = {
        {"[neirongjianjie]", &book.Abstract},  {"[zuozhejianjie]", &book.AuthorRemark},
        {"[mulu]", &book.BookCatalog},         {"[chatu]", &book.Preface},
        {"[meitituijian]", &book.MediaReview}, {"[bianjituijian]", &book.EditorRecommend}};
    // Everything taken from the page goes in as text: the template, prefix and suffix are
    // the seller's own markup, the page's is not.
    for (const auto& [token, section] : sections)
        html = GbkReplaceAll(html, token, SectionText(*section));
    const auto values = BookValues(book, params);
    for (const auto& [token, value] : values) html = GbkReplaceAll(html, token, EscapeHtml(value));
    html = GbkReplaceAll(html, "[QianZhui]", prefix);
    html = GbkReplaceAll(html, "[HouZhui]", suffix);
    html = GbkReplaceAll(html, "[bianma]", EscapeHtml(book.OuterCode));

    std::string mobile = MobileSkeleton();
    for (const auto& [token, value] : values)
        mobile = GbkReplaceAll(mobile, token, JsonStringContent(EscapeHtml(value)));
    book.OuterCode = Trim(book.OuterCode);
    mobile = GbkReplaceAll(mobile, "[bianma]", JsonStringContent(EscapeHtml(book.OuterCode)));

    book.MobileDescription = GbkReplaceAll(MaskFilterWords(filterWords, mobile), "原价", "定价");
    book.Description = GbkReplaceAll(MaskFilterWords(filterWords, html), "原价", "定价");
}

void BuildDescriptions(AppContext& ctx, O_BookInfo& book, const BookParams& params) {
    const auto templateText = ctx.descriptionTemplate().Text();
    const auto filterWords = ctx.filterWords().FilterWords();
    BuildDescriptions(book, params, *templateText, ctx.config().PrefixText(),
                      ctx.config().SuffixText(), *filterWords);
}

}  // namespace vt
