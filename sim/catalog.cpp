#include "sim/catalog.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "base/text.h"

namespace vt::sim {
namespace {

// splitmix64: portable and stable across library versions, unlike the standard
// distributions, so a seed always gives the same catalogue.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t x = (state_ += 0x9e3779b97f4a7c15ULL);
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }
    // Inclusive range.
    int Range(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool Percent(int p) { return Range(0, 99) < p; }
    template <typename T>
    const T& Pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(Range(0, static_cast<int>(v.size()) - 1))];
    }

private:
    std::uint64_t state_;
};

using Words = std::vector<std::string>;

const Words kPrefixes = {"简明", "新编", "图解", "实用", "现代", "经典", "中国",
                         "世界", "大众", "趣味", "基础", "全新", "当代", "写给大家的"};
const Words kSuffixes = {"导论", "教程", "概论", "精讲", "入门", "手册", "史话",
                         "十讲", "通识", "读本", "百问", "研究", "新论", "札记"};
const Words kClassics = {"红楼梦",   "三国演义",   "西游记",   "水浒传",   "围城",
                         "活着",     "平凡的世界", "白鹿原",   "乡土中国", "边城",
                         "骆驼祥子", "城南旧事",   "草房子",   "朝花夕拾", "呐喊",
                         "茶馆",     "万历十五年", "人类简史", "时间简史", "小王子",
                         "昆虫记",   "海底两万里", "国富论",   "乌合之众"};
// Each ends in a character whose second GBK byte equals a byte of the full-width bracket
// or of "|", which is what trips a byte-wise bracket pattern.
const Words kClashStems = {"算法",     "英语语法",     "刑法",     "宪法",    "书法",
                           "青铜葵花", "数值计算方法", "人际沟通", "城市交通"};
const Words kClashBrackets = {"（第3版）", "（第2版·修订本）", "（上）", "（插图本）"};
// At most three bytes inside: with the closing bracket's first byte a byte-wise
// "six or more" still falls short.
const Words kShortBrackets = {"（上）", "（下）", "（中）", "(上)", "(下)"};
const Words kLongBrackets = {"（第3版·修订本）", "（修订版）",        "（插图珍藏版）",
                             "（全彩图解版）",   "(第2版)(教师用书)", "(Second Edition)",
                             "（全2册）"};
const Words kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "周", "吴",
                         "徐", "孙", "马", "朱", "胡", "郭", "何", "林", "罗", "高"};
const Words kGivenNames = {"建国", "晓明", "文华", "丽娟", "志强", "海燕", "国庆",
                           "雪梅", "立新", "春生", "秀英", "德明", "子涵", "一鸣",
                           "思远", "静怡", "明远", "少华", "玉兰", "振宇"};
const Words kPublishers = {"人民文学出版社",     "机械工业出版社",
                           "清华大学出版社",     "中华书局",
                           "商务印书馆",         "作家出版社",
                           "电子工业出版社",     "北京大学出版社",
                           "上海译文出版社",     "生活·读书·新知三联书店",
                           "人民邮电出版社",     "高等教育出版社",
                           "中信出版社",         "译林出版社",
                           "浙江少年儿童出版社", "化学工业出版社"};
const Words kSellingPoints = {"经典畅销，全新修订",     "名家力作，值得收藏",
                              "高校指定教材，配套习题", "荣获多项大奖，口碑之作",
                              "全彩印刷，图文并茂",     "零基础入门，循序渐进",
                              "Vantrell独家首发",       "新课标推荐阅读"};
const Words kSentences = {
    "本书以通俗的语言讲述了一个又一个动人的故事",
    "作者结合多年的教学与研究经验，系统梳理了学科的基本脉络",
    "全书结构清晰，层层递进，适合初学者自学",
    "书中配有大量插图和案例，便于读者理解",
    "这是一部值得反复阅读的作品",
    "每章末尾附有思考题与延伸阅读书目",
    "新版根据读者反馈做了全面修订",
    "文字朴素而深情，读来令人动容",
    "从历史与现实两个角度展开论述",
    "内容涵盖理论基础、方法与实践三个部分",
};
const Words kBindings = {"平装-胶订", "精装", "平装"};
const Words kFormats = {"16开", "32开", "大32开", "64开"};
const Words kPlainNotes = {"现货，下单后48小时内发货", "立即订购，预计3天内送达",
                           "登录后根据您所在地址，商品的发货时间会有所不同", "满48元免运费。"};
// Cleaned of the site's boilerplate these are 30 and 31 bytes long.
const char kNote30[] = "立即订购，Vantrell北京仓发货，开具电子发票";
const char kNote31[] = "Vantrell北京仓发货，7日内开具发票";
const Words kSubSuffixes = {"经典", "入门", "理论", "名家", "通识", "专题", "新书"};
const Words kLeafSuffixes = {"·基础", "·进阶", "·典藏"};

// Double-byte filler for over-long head titles (no ASCII inside, so the byte parity holds).
const char kLongHeadFiller[] =
    "经典畅销全新修订名家力作值得收藏高校指定教材配套习题荣获多项大奖口碑之作全彩印刷图文并茂"
    "零基础入门循序渐进新课标推荐阅读";

std::string Money(long cents) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld.%02ld", cents / 100, cents % 100);
    return buf;
}

std::string TwoDigits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string IsbnWithCheck(const std::string& twelve) {
    int sum = 0;
    for (std::size_t i = 0; i < 12; ++i) sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
    return twelve + static_cast<char>('0' + (10 - sum % 10) % 10);
}

// A keyword occurs in a GBK text only where it starts on a character boundary.
bool ContainsWhole(const std::string& hay, const std::string& needle) {
    if (needle.empty())
        return true;
    std::size_t boundary = 0;
    for (std::size_t pos = hay.find(needle); pos != std::string::npos;
         pos = hay.find(needle, pos + 1)) {
        while (boundary < pos)
            boundary += IsGbkLeadByte(static_cast<unsigned char>(hay[boundary])) ? 2 : 1;
        if (boundary == pos)
            return true;
    }
    return false;
}

std::string Subject(const std::string& categoryName) {
    return categoryName.substr(0, categoryName.find('/'));
}

std::string SectionHtml(Section s, const Book& b, Rng& rng) {
    auto sentence = [&] { return rng.Pick(kSentences); };
    std::string link = "<a href=\"{origin}/" + b.id + ".html\" target=\"_blank\">";
    switch (s) {
        case Section::EditorRecommend:
            return "<p>" + sentence() + "。&nbsp;&nbsp;" + sentence() + "。</p>\r\n<p>" + link +
                   "《" + b.title + "》</a>" + sentence() + "！</p>";
        case Section::Abstract:
            return "<p>&nbsp;&nbsp;&nbsp;&nbsp;" + sentence() + "，" + sentence() +
                   "。</p>\r\n<p><img src=\"{origin}/images/detail/" + b.id +
                   "_1.jpg\" alt=\"\" /></p>\r\n<p>" + sentence() + " &amp; " + sentence() +
                   "。&lt;br&gt;" + sentence() + "。</p>";
        case Section::AuthorRemark:
            return "<p>" + (b.author.empty() ? std::string("本书作者") : b.author) + "，" +
                   std::to_string(rng.Range(1940, 1990)) + "年生，" + sentence() +
                   "。</p><br />\r\n<p>主要作品有" + link + "《" + b.title + "》</a>等。</p>";
        case Section::Catalog: {
            std::string out = "<p>";
            int chapters = rng.Range(3, 9);
            for (int i = 1; i <= chapters; ++i)
                out += "第" + std::to_string(i) + "章&nbsp;" + rng.Pick(kPrefixes) +
                       rng.Pick(kSuffixes) + "<br />\r\n";
            return out + "后记</p>";
        }
        case Section::Preface:
            return "<script type=\"text/javascript\">var vt_preface_fold = true;</script>\r\n<p>" +
                   sentence() + "。</p>\r\n<p>" + sentence() + "。</p>";
        case Section::MediaReview:
            return "<p>&quot;" + sentence() + "。&quot;<br />——《读书》杂志</p>\r\n<p>" +
                   sentence() + "。</p>";
    }
    return {};
}

std::vector<Category> BuildCategories(Rng& rng) {
    std::vector<Category> tops;
    for (const auto& [nn, name] : TopCategoryList()) {
        Category top{"01." + nn + ".00.00.00.00", name, {}};
        int subs = rng.Range(2, 5);
        std::vector<std::string> suffixes = kSubSuffixes;
        for (int s = 1; s <= subs; ++s) {
            std::size_t pick =
                static_cast<std::size_t>(rng.Range(0, static_cast<int>(suffixes.size()) - 1));
            Category sub{
                "01." + nn + "." + TwoDigits(s) + ".00.00.00", Subject(name) + suffixes[pick], {}};
            suffixes.erase(suffixes.begin() + static_cast<long>(pick));
            if (rng.Percent(30)) {
                int leaves = rng.Range(2, 3);
                for (int l = 1; l <= leaves; ++l)
                    sub.children.push_back(
                        Category{"01." + nn + "." + TwoDigits(s) + "." + TwoDigits(l) + ".00.00",
                                 sub.name + kLeafSuffixes[static_cast<std::size_t>(l - 1)],
                                 {}});
            }
            top.children.push_back(std::move(sub));
        }
        tops.push_back(std::move(top));
    }
    return tops;
}

// Which books carry which trait: about three books in ten carry one, and every trait is
// topped up to a few books so that even a small catalogue shows each of them.
std::vector<int> AssignTraits(int count, Rng& rng) {
    std::vector<int> traits(static_cast<std::size_t>(count), -1);
    std::vector<int> perTrait(kTraitCount, 0);
    for (int i = 0; i < count; ++i) {
        if (i < 5)  // the first books stay plain: handy for quick looks and demos
            continue;
        if (rng.Percent(30)) {
            int t = rng.Range(0, kTraitCount - 1);
            traits[static_cast<std::size_t>(i)] = t;
            ++perTrait[static_cast<std::size_t>(t)];
        }
    }
    const int wanted = 3;
    int from = count - 1;
    for (int t = 0; t < kTraitCount; ++t) {
        for (; perTrait[static_cast<std::size_t>(t)] < wanted && from >= 5; --from) {
            if (traits[static_cast<std::size_t>(from)] != -1)
                continue;
            traits[static_cast<std::size_t>(from)] = t;
            ++perTrait[static_cast<std::size_t>(t)];
        }
    }
    return traits;
}

void CollectCodes(const Category& c, std::vector<const Category*>& out) {
    out.push_back(&c);
    for (const auto& child : c.children) CollectCodes(child, out);
}

}  // namespace

const char* TraitName(Trait trait) {
    static const char* const kNames[kTraitCount] = {
        "NoDate",           "NoListPrice",       "NoSalePrice",   "NoIsbn",
        "NoAuthor",         "NoPicture",         "PngPicture",    "UpperCaseJpg",
        "ShortPictureName", "ShortBracket",      "LongBracket",   "BracketByteClash",
        "ForbiddenInTitle", "ForbiddenInAuthor", "LongHeadTitle", "TwoIsbn",
        "PartialCities",    "BackOrder",         "BuyingNote30",  "BuyingNote31",
        "RegionOutOfStock", "NotSelfRun",        "NoBuyButton"};
    int i = static_cast<int>(trait);
    return i >= 0 && i < kTraitCount ? kNames[i] : "";
}

const char* SectionTitle(Section section) {
    static const char* const kTitles[kSectionCount] = {"编辑推荐", "内容推荐", "作者简介",
                                                       "目录",     "前言",     "媒体评论"};
    return kTitles[static_cast<int>(section)];
}

long Book::SaleCents() const {
    long whole = 0, cents = 0;
    std::size_t i = 0;
    for (; i < salePrice.size() && salePrice[i] >= '0' && salePrice[i] <= '9'; ++i)
        whole = whole * 10 + (salePrice[i] - '0');
    if (i < salePrice.size() && salePrice[i] == '.') {
        for (int d = 0; d < 2; ++d) {
            ++i;
            cents = cents * 10 + (i < salePrice.size() ? salePrice[i] - '0' : 0);
        }
    }
    return whole * 100 + cents;
}

bool ListFilter::Passes(const Book& b) const {
    return (!promo || b.promo) && (!inStock || b.inStock) && (!clearance || b.clearance) &&
           (!preSale || b.preSale) && (!selfRun || b.selfRun) && (!mobilePrice || b.mobilePrice);
}

const std::vector<std::string>& ForbiddenWordSamples() {
    static const std::vector<std::string> kWords = {"内部资料", "样书", "盗印本", "非卖品"};
    return kWords;
}

const std::vector<Province>& Provinces() {
    static const std::vector<Province> kList = {
        {"11", "北京"}, {"12", "天津"}, {"13", "河北"},   {"14", "山西"}, {"15", "内蒙古"},
        {"21", "辽宁"}, {"22", "吉林"}, {"23", "黑龙江"}, {"31", "上海"}, {"32", "江苏"},
        {"33", "浙江"}, {"34", "安徽"}, {"35", "福建"},   {"36", "江西"}, {"37", "山东"},
        {"41", "河南"}, {"42", "湖北"}, {"43", "湖南"},   {"44", "广东"}, {"45", "广西"},
        {"46", "海南"}, {"50", "重庆"}, {"51", "四川"},   {"52", "贵州"}, {"53", "云南"},
        {"54", "西藏"}, {"61", "陕西"}, {"62", "甘肃"},   {"63", "青海"}, {"64", "宁夏"},
        {"65", "新疆"}};
    return kList;
}

const std::vector<std::pair<std::string, std::string>>& TopCategoryList() {
    static const std::vector<std::pair<std::string, std::string>> kList = {
        {"05", "文学"},      {"41", "童书"},        {"03", "小说"},      {"43", "中小学教辅"},
        {"47", "考试"},      {"01", "青春文学"},    {"36", "历史"},      {"07", "艺术"},
        {"45", "外语"},      {"22", "管理"},        {"21", "成功/励志"}, {"28", "哲学/宗教"},
        {"49", "教材"},      {"54", "计算机/网络"}, {"56", "医学"},      {"32", "古籍"},
        {"15", "亲子/家教"}, {"38", "传记"},        {"25", "经济"},      {"27", "政治/军事"},
        {"30", "社会科学"},  {"09", "动漫/幽默"},   {"31", "心理学"},    {"24", "投资理财"},
        {"26", "法律"},      {"34", "文化"},        {"63", "工业技术"},  {"55", "建筑"},
        {"18", "保健/养生"}, {"52", "科普读物"},    {"17", "育儿/早教"}, {"12", "旅游/地图"},
        {"10", "烹饪/美食"}, {"62", "自然科学"},    {"50", "工具书"},    {"06", "孕产/胎教"},
        {"11", "时尚/美妆"}, {"58", "英文原版书"},  {"16", "两性关系"},  {"19", "体育/运动"},
        {"14", "家庭/家居"}, {"20", "手工/DIY"},    {"66", "农业/林业"}, {"59", "港台圖書"},
        {"04", "休闲/爱好"}, {"23", "风水/占卜"},   {"68", "阅读器"},    {"72", "文化艺术礼品"},
        {"70", "办公/文具"}, {"71", "培训/课程"},   {"69", "日文原版书"}};
    return kList;
}

Catalog::Catalog(CatalogOptions options) : options_(options) {
    if (options_.pageSize < 1)
        options_.pageSize = 60;
    Rng rng(options_.seed);
    categories_ = BuildCategories(rng);

    // Lowest categories, the bigger top categories weighted three to one.
    std::vector<std::pair<const Category*, const Category*>> shelves;  // (top, lowest)
    for (std::size_t t = 0; t < categories_.size(); ++t) {
        int weight = t < 12 ? 3 : 1;
        for (int w = 0; w < weight; ++w)
            for (const auto& sub : categories_[t].children) {
                if (sub.children.empty())
                    shelves.emplace_back(&categories_[t], &sub);
                for (const auto& leaf : sub.children) shelves.emplace_back(&categories_[t], &leaf);
            }
    }

    int count = std::max(0, options_.books);
    std::vector<int> traitOf = AssignTraits(count, rng);
    std::set<std::string> isbns;
    auto newIsbn = [&] {
        for (;;) {
            std::string twelve = "9787";
            for (int d = 0; d < 8; ++d) twelve += static_cast<char>('0' + rng.Range(0, 9));
            std::string isbn = IsbnWithCheck(twelve);
            if (isbns.insert(isbn).second)
                return isbn;
        }
    };

    long nextId = 20000000 + rng.Range(0, 999999);
    books_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Book b;
        int traitIndex = traitOf[static_cast<std::size_t>(i)];
        if (traitIndex >= 0)
            b.traits = 1u << traitIndex;
        nextId += rng.Range(1, 60);
        b.id = std::to_string(nextId);
        const auto& [top, shelf] =
            shelves[static_cast<std::size_t>(rng.Range(0, static_cast<int>(shelves.size()) - 1))];
        b.category = shelf->code;

        // Title.
        std::string stem = rng.Percent(25)
                               ? rng.Pick(kClassics)
                               : rng.Pick(kPrefixes) + Subject(top->name) + rng.Pick(kSuffixes);
        if (b.Has(Trait::BracketByteClash))
            b.title = rng.Pick(kClashStems) + rng.Pick(kClashBrackets);
        else if (b.Has(Trait::ShortBracket))
            b.title = stem + rng.Pick(kShortBrackets);
        else if (b.Has(Trait::LongBracket))
            b.title = stem + rng.Pick(kLongBrackets);
        else if (b.Has(Trait::ForbiddenInTitle))
            b.title = stem + rng.Pick(ForbiddenWordSamples());
        else
            b.title = stem;

        std::string author = rng.Pick(kSurnames) + rng.Pick(kGivenNames);
        if (b.Has(Trait::ForbiddenInAuthor))
            author = rng.Pick(ForbiddenWordSamples()) + author;
        if (!b.Has(Trait::NoAuthor))
            b.author = author;
        b.publisher = rng.Pick(kPublishers);

        long list = rng.Range(50, 1980) * 10L;
        long sale = list * rng.Range(50, 95) / 1000 * 10;
        if (!b.Has(Trait::NoListPrice))
            b.listPrice = Money(list);
        if (!b.Has(Trait::NoSalePrice))
            b.salePrice = Money(sale);
        std::string date = std::to_string(rng.Range(1995, 2024)) + "-" +
                           TwoDigits(rng.Range(1, 12)) + "-" + TwoDigits(rng.Range(1, 28));
        if (!b.Has(Trait::NoDate))
            b.date = date;
        std::string isbn = newIsbn();
        if (!b.Has(Trait::NoIsbn))
            b.isbn = isbn;
        if (b.Has(Trait::TwoIsbn))
            b.secondIsbn = newIsbn();

        b.headTitle = rng.Pick(kSellingPoints);
        if (b.Has(Trait::LongHeadTitle))
            b.headTitle =
                "V" + std::string(kLongHeadFiller) + kLongHeadFiller;  // ASCII, then pairs

        int version = rng.Range(1, 12);
        std::string stemName = "/images/" + b.id + "-1_w";
        if (b.Has(Trait::NoPicture))
            b.picture.clear();
        else if (b.Has(Trait::PngPicture))
            b.picture = stemName + "_" + std::to_string(version) + ".png";
        else if (b.Has(Trait::UpperCaseJpg))
            b.picture = stemName + "_" + std::to_string(version) + ".JPG";
        else if (b.Has(Trait::ShortPictureName))
            b.picture = stemName + ".jpg";
        else
            b.picture = stemName + "_" + std::to_string(version) + ".jpg";

        static const int kSectionShare[kSectionCount] = {70, 95, 80, 85, 40, 30};
        for (int s = 0; s < kSectionCount; ++s)
            if (rng.Percent(kSectionShare[s]))
                b.sections[static_cast<std::size_t>(s)] =
                    SectionHtml(static_cast<Section>(s), b, rng);

        b.wordCount = std::to_string(rng.Range(80, 900) * 1000);
        b.pageCount = std::to_string(rng.Range(96, 960));
        b.edition = std::to_string(rng.Range(1, 5));
        b.binding = rng.Pick(kBindings);
        b.format = rng.Pick(kFormats);

        b.buyingNote = rng.Pick(kPlainNotes);
        if (b.Has(Trait::BuyingNote30))
            b.buyingNote = kNote30;
        if (b.Has(Trait::BuyingNote31))
            b.buyingNote = kNote31;

        if (b.Has(Trait::RegionOutOfStock)) {
            int n = rng.Range(1, 4);
            std::set<std::string> codes;
            while (static_cast<int>(codes.size()) < n) codes.insert(rng.Pick(Provinces()).code);
            b.outOfStockProvinces.assign(codes.begin(), codes.end());
        }
        b.inStock = !b.Has(Trait::BackOrder);
        b.selfRun = !b.Has(Trait::NotSelfRun);
        b.sales = rng.Range(0, 50000);
        b.score = rng.Range(0, 1000);
        b.promo = rng.Percent(20);
        b.preSale = rng.Percent(5);
        b.clearance = !b.preSale && rng.Percent(8);  // never both: all filters on finds nothing
        b.mobilePrice = rng.Percent(10);
        books_.push_back(std::move(b));
    }

    // Promotions: every book on promotion, a hundred picks, and a one-page sale; each
    // lists a few books twice, as the real pages do.
    auto withRepeats = [&](std::vector<std::string> ids) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            out.push_back(ids[i]);
            if (i % 25 == 7)
                out.push_back(ids[i]);
        }
        return out;
    };
    std::vector<std::string> all, picks, small;
    for (const auto& b : books_)
        if (b.promo)
            all.push_back(b.id);
    for (const auto& b : books_) {
        if (rng.Percent(4) && picks.size() < 100)
            picks.push_back(b.id);
        if (b.Plain() && small.size() < 20 && rng.Percent(10))
            small.push_back(b.id);
    }
    promotions_.push_back({"/subject/1001.html", "全场图书满100减30", withRepeats(all)});
    promotions_.push_back({"/subject/1002.html", "编辑精选百本好书", withRepeats(picks)});
    promotions_.push_back({"/subject/1003.html", "今日特价", withRepeats(small)});
}

const Book* Catalog::FindById(const std::string& id) const {
    auto it =
        std::lower_bound(books_.begin(), books_.end(), id, [](const Book& b, const std::string& v) {
            return b.id.size() != v.size() ? b.id.size() < v.size() : b.id < v;
        });
    return it != books_.end() && it->id == id ? &*it : nullptr;
}

const Category* Catalog::FindCategory(const std::string& code) const {
    std::vector<const Category*> all;
    for (const auto& c : categories_) CollectCodes(c, all);
    for (const Category* c : all)
        if (c->code == code)
            return c;
    return nullptr;
}

const Promotion* Catalog::FindPromotion(const std::string& path) const {
    for (const auto& p : promotions_)
        if (p.path == path)
            return &p;
    return nullptr;
}

const Book* Catalog::FirstWith(Trait trait) const {
    for (const auto& b : books_)
        if (b.Has(trait))
            return &b;
    return nullptr;
}

std::vector<const Book*> Catalog::AllWith(Trait trait) const {
    std::vector<const Book*> out;
    for (const auto& b : books_)
        if (b.Has(trait))
            out.push_back(&b);
    return out;
}

const Book* Catalog::FirstPlain() const {
    for (const auto& b : books_)
        if (b.Plain())
            return &b;
    return nullptr;
}

std::vector<const Book*> Catalog::Search(const std::string& keyword) const {
    std::vector<const Book*> out;
    for (const auto& b : books_)
        if (ContainsWhole(b.title, keyword) || ContainsWhole(b.author, keyword) ||
            ContainsWhole(b.publisher, keyword))
            out.push_back(&b);
    return out;
}

std::vector<const Book*> Catalog::InCategory(const std::string& code) const {
    // "01.05.02.00.00.00" holds every code that starts with "01.05.02.".
    std::string prefix = code;
    while (prefix.size() >= 3 && prefix.compare(prefix.size() - 3, 3, ".00") == 0)
        prefix.resize(prefix.size() - 3);
    prefix += '.';
    std::vector<const Book*> out;
    for (const auto& b : books_)
        if (b.category.compare(0, prefix.size(), prefix) == 0)
            out.push_back(&b);
    return out;
}

void SortBooks(std::vector<const Book*>& books, const std::string& sortKey) {
    using Less = bool (*)(const Book*, const Book*);
    static const std::map<std::string, Less> kOrders = {
        {"sort_sale_amt_desc", [](const Book* a, const Book* b) { return a->sales > b->sales; }},
        {"sort_sale_amt_asc", [](const Book* a, const Book* b) { return a->sales < b->sales; }},
        {"sort_pubdate_desc", [](const Book* a, const Book* b) { return a->date > b->date; }},
        {"sort_pubdate_asc", [](const Book* a, const Book* b) { return a->date < b->date; }},
        {"sort_xlowprice_asc",
         [](const Book* a, const Book* b) { return a->SaleCents() < b->SaleCents(); }},
        {"sort_xlowprice_desc",
         [](const Book* a, const Book* b) { return a->SaleCents() > b->SaleCents(); }},
        {"sort_score_desc", [](const Book* a, const Book* b) { return a->score > b->score; }},
        {"sort_score_asc", [](const Book* a, const Book* b) { return a->score < b->score; }},
    };
    auto it = kOrders.find(sortKey);
    if (it != kOrders.end())
        std::stable_sort(books.begin(), books.end(), it->second);
}

}  // namespace vt::sim
