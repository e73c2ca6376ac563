// The data files a job leaves: every kind read back with readers of its own (the
// workbook unzipped, the CSVs parsed) and compared with the books they came from.
#include "app/data_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/panel_actions.h"
#include "base/files.h"
#include "base/text.h"
#include "detail/description.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/data_rows.h"
#include "market/data_files/ecshop_csv.h"
#include "market/data_files/plain_csv.h"
#include "market/data_files/shopex_csv.h"
#include "market/data_files/taobao_assistant.h"
#include "market/data_files/xlsx_workbook.h"
#include "market/preview_item.h"
#include "market/price_rules.h"
#include "support/e2e_job.h"
#include "support/temp_app_dir.h"

namespace vt {
namespace {

using Table = std::vector<std::vector<std::string>>;  // GBK cells, header rows included
using testing::U8;

// ----- readers -----

// RFC 4180 records: quoted fields may hold the separator, doubled quotes and line breaks.
Table ParseCsv(const std::string& text, char sep) {
    Table rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = any = true;
        } else if (c == sep) {
            row.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string Utf8WithoutBom(const std::string& bytes, bool& hadBom) {
    hadBom = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    return Utf8ToGbk(hadBom ? bytes.substr(3) : bytes);
}

std::string Utf16LeToGbk(const std::string& bytes, bool& hadBom) {
    hadBom = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    std::u16string wide;
    for (std::size_t i = hadBom ? 2 : 0; i + 1 < bytes.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return Utf16ToGbk(wide);
}

std::string UnzipEntry(const std::string& nativeZip, const std::string& entry) {
    const std::string command = "unzip -p '" + nativeZip + "' '" + entry + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
}

// XML text content: the five entities, character references and the "_x000D_" escapes.
std::string XmlText(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            const std::size_t semi = raw.find(';', i);
            const std::string name = raw.substr(i + 1, semi - i - 1);
            static const std::map<std::string, char> named = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (named.count(name))
                out += named.at(name);
            else if (!name.empty() && name[0] == '#')
                out += static_cast<char>(name[1] == 'x' ? std::stoi(name.substr(2), nullptr, 16)
                                                        : std::stoi(name.substr(1)));
            i = semi + 1;
        } else if (raw.compare(i, 2, "_x") == 0 && i + 7 <= raw.size() && raw[i + 6] == '_') {
            out += static_cast<char>(std::stoi(raw.substr(i + 2, 4), nullptr, 16));
            i += 7;
        } else {
            out += raw[i++];
        }
    }
    return out;
}

// Every <tag ...>text</tag> inside the xml, in order.
std::vector<std::string> Elements(const std::string& xml, const std::string& tag) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = xml.find("<" + tag, at)) != std::string::npos) {
        const char after = xml[at + tag.size() + 1];
        if (after != '>' && after != ' ' && after != '/') {
            ++at;
            continue;
        }
        const std::size_t open = xml.find('>', at);
        if (xml[open - 1] == '/') {
            out.emplace_back();
            at = open;
            continue;
        }
        const std::size_t close = xml.find("</" + tag + ">", open);
        out.push_back(xml.substr(open + 1, close - open - 1));
        at = close;
    }
    return out;
}

std::string Attribute(const std::string& element, const std::string& name) {
    const std::size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + name.size() + 3;
    return element.substr(from, element.find('"', from) - from);
}

int ColumnIndex(const std::string& ref) {
    int n = 0;
    for (char c : ref) {
        if (c < 'A' || c > 'Z')
            break;
        n = n * 26 + (c - 'A' + 1);
    }
    return n - 1;
}

struct Workbook {
    Table cells;
    bool frozenHeader = false;
    std::set<std::pair<int, int>> numbers;  // (row, column) of number cells
};

// The first sheet, its shared strings resolved, text converted to GBK.
Workbook ReadWorkbook(const std::string& nativePath) {
    Workbook book;
    std::vector<std::string> shared;
    for (const std::string& si : Elements(UnzipEntry(nativePath, "xl/sharedStrings.xml"), "si")) {
        std::string text;
        for (const std::string& t : Elements(si, "t")) text += XmlText(t);
        shared.push_back(Utf8ToGbk(text));
    }
    const std::string sheet = UnzipEntry(nativePath, "xl/worksheets/sheet1.xml");
    book.frozenHeader = sheet.find("ySplit=\"1\"") != std::string::npos &&
                        sheet.find("state=\"frozen\"") != std::string::npos;
    std::size_t at = 0;
    while ((at = sheet.find("<row ", at)) != std::string::npos) {
        const std::size_t end = sheet.find("</row>", at);
        const std::string row = sheet.substr(at, end - at);
        const int r = std::stoi(Attribute(row, "r")) - 1;
        if (static_cast<int>(book.cells.size()) <= r)
            book.cells.resize(r + 1);
        std::size_t c = 0;
        while ((c = row.find("<c ", c)) != std::string::npos) {
            const std::size_t open = row.find('>', c);
            const std::string head = row.substr(c, open - c + 1);
            const int col = ColumnIndex(Attribute(head, "r"));
            std::string value;
            if (head[head.size() - 2] != '/') {
                const std::size_t close = row.find("</c>", open);
                const auto v = Elements(row.substr(open + 1, close - open - 1), "v");
                value = v.empty() ? "" : v[0];
                c = close;
            } else {
                c = open;
            }
            auto& cells = book.cells[r];
            if (static_cast<int>(cells.size()) <= col)
                cells.resize(col + 1);
            if (Attribute(head, "t") == "s") {
                cells[col] = shared.at(std::stoul(value));
            } else {
                cells[col] = value;
                if (!value.empty())
                    book.numbers.insert({r, col});
            }
        }
        at = end;
    }
    return book;
}

// The column of a header row; -1 when it is not there.
int Col(const std::vector<std::string>& headers, const std::string& name) {
    for (std::size_t i = 0; i < headers.size(); ++i)
        if (headers[i] == name)
            return static_cast<int>(i);
    return -1;
}

std::string Cell(const std::vector<std::string>& row, int col) {
    return col >= 0 && col < static_cast<int>(row.size()) ? row[col] : std::string();
}

// ----- every format keeps awkward text whole -----

struct FormatCase {
    const char* name;
    // Writes the rows to the path (GBK), reads the file back (native path) as a table
    // whose header row is headerRow; checks the file's own framing.
    std::function<bool(const std::string&, const std::vector<DataFileRow>&)> write;
    std::function<Table(const std::string&)> read;
    int headerRow;
    const char* titleHeader;
    const char* textHeader;  // a column holding free text
    const char* codeHeader;
};

std::string BookText(const DataFileRow& r) {
    return r.description;
}

TEST(DataFileFormats, ChineseQuotesCommasTabsAndLineBreaksSurviveEveryFormat) {
    testing::TempAppDir dir(false);
    std::vector<DataFileRow> rows(2);
    rows[0].title = "“引号”\"直引号\"，逗号,半角 正版";
    rows[0].book.OuterCode = "1900123";
    rows[0].book.HeadTitle = "第一行\r\n第二行,带逗号\t制表\"引\"";
    rows[0].description = "<p class=\"a\">一,二</p>\r\n<p>三\n四</p>";
    rows[0].book.MarketPrice = "￥38.50";
    rows[0].price = "30.80";
    rows[1].title = "简单书名";
    rows[1].book.OuterCode = "1900124";
    rows[1].book.HeadTitle = "普通";
    rows[1].description = "<p>描述</p>";

    const FormatCase cases[] = {
        {"workbook", [](const std::string& p, auto& r) { return WriteXlsxWorkbook(p, r).empty(); },
         [](const std::string& n) { return ReadWorkbook(n).cells; }, 0, "宝贝标题", "头标题",
         "商品编码"},
        {"plain CSV", &WritePlainCsv,
         [](const std::string& n) {
             bool bom = false;
             Table t = ParseCsv(Utf8WithoutBom(testing::ReadAll(n), bom), ',');
             EXPECT_TRUE(bom);
             return t;
         },
         0, "宝贝标题", "头标题", "商品编码"},
        {"assistant", &WriteAssistantCsv,
         [](const std::string& n) { return ParseCsv(testing::ReadAll(n), ','); }, 0, "宝贝名称",
         "宝贝描述", "商家编码"},
        {"assistant 5", &WriteAssistant5Csv,
         [](const std::string& n) {
             bool bom = false;
             Table t = ParseCsv(Utf16LeToGbk(testing::ReadAll(n), bom), '\t');
             EXPECT_TRUE(bom);
             EXPECT_EQ(t.at(0), std::vector<std::string>{"version 1.00"});
             EXPECT_EQ(Cell(t.at(1), 0), "title");
             return t;
         },
         2, "宝贝名称", "宝贝描述", "商家编码"},
        {"ecshop", [](const std::string& p, auto& r) { return WriteEcshopCsv(p, r, "/nowhere"); },
         [](const std::string& n) { return ParseCsv(testing::ReadAll(n), ','); }, 0, "商品名称",
         "详细描述", "商品货号"},
        {"shopex", [](const std::string& p, auto& r) { return WriteShopexCsv(p, r, "/nowhere"); },
         [](const std::string& n) { return ParseCsv(testing::ReadAll(n), ','); }, 0, "col:商品名称",
         "col:详细介绍", "bn:商品编号"},
    };
    for (const FormatCase& f : cases) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.path() + "/样本_" + f.name;
        ASSERT_TRUE(f.write(path, rows));
        const Table t = f.read(NativePath(path));
        ASSERT_EQ(t.size(), static_cast<std::size_t>(f.headerRow) + 1 + rows.size());
        const auto& headers = t[f.headerRow];
        const int title = Col(headers, f.titleHeader), text = Col(headers, f.textHeader),
                  code = Col(headers, f.codeHeader);
        ASSERT_GE(title, 0);
        ASSERT_GE(text, 0);
        ASSERT_GE(code, 0);
        const bool headTitle = std::string(f.textHeader) == "头标题";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto& got = t[f.headerRow + 1 + i];
            EXPECT_EQ(U8(Cell(got, title)), U8(rows[i].title));
            EXPECT_EQ(U8(Cell(got, text)),
                      U8(headTitle ? rows[i].book.HeadTitle : BookText(rows[i])));
            EXPECT_EQ(Cell(got, code), rows[i].book.OuterCode);
        }
    }
}

// A cell a spreadsheet would evaluate is written behind a single quote in every CSV kind,
// so it shows as the text it is; numbers and other cells are untouched.
TEST(DataFileFormats, NoCsvCellReadsAsAFormula) {
    testing::TempAppDir dir(false);
    const std::vector<std::string> titles = {"=1+2",   "+1",     "-1",  "@SUM(A1:A9)",
                                             "\t=1+2", "\r=1+2", "1=1", "普通"};
    std::vector<DataFileRow> rows(titles.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].title = titles[i];
        rows[i].book.OuterCode = "19001" + std::to_string(i);
        rows[i].book.HeadTitle = "=HYPERLINK(\"http://x\",\"y\")";
        rows[i].book.MarketPrice = "38.50";
        rows[i].price = "30.80";
        rows[i].description = "@cmd|' /C calc'!A0";
    }
    using Writer = std::function<bool(const std::string&, const std::vector<DataFileRow>&)>;
    struct Kind {
        const char* name;
        Writer write;
        std::function<Table(const std::string&)> read;
        const char* titleHeader;
        std::size_t headerRow;
    };
    const auto csv = [](const std::string& n) { return ParseCsv(testing::ReadAll(n), ','); };
    const Kind kinds[] = {
        {"plain CSV", &WritePlainCsv,
         [](const std::string& n) {
             bool bom = false;
             return ParseCsv(Utf8WithoutBom(testing::ReadAll(n), bom), ',');
         },
         "宝贝标题", 0},
        {"assistant", &WriteAssistantCsv, csv, "宝贝名称", 0},
        {"assistant 5", &WriteAssistant5Csv,
         [](const std::string& n) {
             bool bom = false;
             return ParseCsv(Utf16LeToGbk(testing::ReadAll(n), bom), '\t');
         },
         "宝贝名称", 2},
        {"ecshop", [](const std::string& p, auto& r) { return WriteEcshopCsv(p, r, "/nowhere"); },
         csv, "商品名称", 0},
        {"shopex", [](const std::string& p, auto& r) { return WriteShopexCsv(p, r, "/nowhere"); },
         csv, "col:商品名称", 0},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string path = dir.path() + "/公式_" + k.name;
        ASSERT_TRUE(k.write(path, rows));
        const Table t = k.read(NativePath(path));
        ASSERT_EQ(t.size(), k.headerRow + 1 + rows.size());
        const int title = Col(t[k.headerRow], k.titleHeader);
        ASSERT_GE(title, 0);
        for (std::size_t r = k.headerRow + 1; r < t.size(); ++r) {
            for (const std::string& cell : t[r]) EXPECT_FALSE(ReadsAsFormula(cell)) << U8(cell);
            const std::string& want = titles[r - k.headerRow - 1];
            EXPECT_EQ(U8(Cell(t[r], title)), U8(ReadsAsFormula(want) ? "'" + want : want));
            EXPECT_NE(std::find(t[r].begin(), t[r].end(), "30.80"), t[r].end());
        }
    }
}

// The details the data files take from the mobile text come back as the page gave them,
// though that text carries them escaped.
TEST(DataFileFormats, DetailsReadFromTheMobileTextAreTheBooksOwn) {
    O_BookInfo book;
    const BookParams params{"12\"00", "7<8>0", "第3版 & 修订", "平装'精装", "&amp;16开"};
    BuildDescriptions(book, params, "x", "", "", {});
    EXPECT_EQ(MobileDescriptionValue(book.MobileDescription, "字数："), params.WordCount);
    EXPECT_EQ(MobileDescriptionValue(book.MobileDescription, "页码："), params.PageCount);
    EXPECT_EQ(U8(MobileDescriptionValue(book.MobileDescription, "版次：")), U8(params.Edition));
    EXPECT_EQ(U8(MobileDescriptionValue(book.MobileDescription, "装帧：")), U8(params.Binding));
    EXPECT_EQ(U8(MobileDescriptionValue(book.MobileDescription, "开本：")), U8(params.BookFormat));
}

TEST(DataFileFormats, WorkbookFreezesItsHeaderAndWritesPricesAsNumbers) {
    testing::TempAppDir dir(false);
    std::vector<DataFileRow> rows(2);
    rows[0].book.MarketPrice = "￥38.50";
    rows[0].book.SellPrice = "25.00元";
    rows[0].price = "30.80";
    rows[1].book.MarketPrice = "暂无";  // no amount in it: kept as text
    const std::string path = dir.path() + "/价格.xlsx";
    ASSERT_EQ(WriteXlsxWorkbook(path, rows), "");
    const Workbook book = ReadWorkbook(NativePath(path));
    EXPECT_TRUE(book.frozenHeader);
    ASSERT_EQ(book.cells.size(), 3u);
    const auto& h = book.cells[0];
    const int list = Col(h, "定价"), site = Col(h, "网站价"), own = Col(h, "售价");
    EXPECT_TRUE(book.numbers.count({1, list}));
    EXPECT_DOUBLE_EQ(std::stod(Cell(book.cells[1], list)), 38.5);
    EXPECT_DOUBLE_EQ(std::stod(Cell(book.cells[1], site)), 25.0);
    EXPECT_DOUBLE_EQ(std::stod(Cell(book.cells[1], own)), 30.8);
    EXPECT_FALSE(book.numbers.count({2, list}));
    EXPECT_EQ(Cell(book.cells[2], list), "暂无");
}

TEST(DataFileFormats, AFileThatCannotBeWrittenIsReportedNotCountedAsWritten) {
    testing::LocalSites sites;
    AppContext& ctx = sites.ctx();
    DataFileChoices all;
    all.assistant = all.assistant5 = all.ecshop = all.shopex = all.excel = true;
    const DataFilesOutcome outcome = WriteDataFiles(ctx, ctx.appDir() + "/没有这个文件夹", all);
    EXPECT_TRUE(outcome.written.empty());
    EXPECT_FALSE(outcome.Ok());
    // Nothing chosen: nothing written and nothing wrong.
    const DataFilesOutcome none = WriteDataFiles(ctx, ctx.appDir(), DataFileChoices{});
    EXPECT_TRUE(none.written.empty());
    EXPECT_TRUE(none.Ok());
    // The export on demand waits for the job to stop: its books are still being filled in.
    ctx.config().SetCHKExcel(true);
    ctx.panel().SetRunning();
    const DataFilesOutcome running = WriteDataFiles(ctx, ctx.appDir());
    EXPECT_TRUE(running.written.empty());
    EXPECT_EQ(U8(running.error), U8("采集进行中，请先停止采集"));
    ctx.panel().PressStop();
    EXPECT_EQ(WriteDataFiles(ctx, ctx.appDir()).written.size(), 2u);

    // The results panel's export: into today's picture folder; nothing chosen is said.
    const DataFilesOutcome exported = ExportDataFiles(ctx);
    ASSERT_EQ(exported.written.size(), 2u) << U8(exported.error);
    for (const std::string& path : exported.written) {
        EXPECT_NE(path.find(DayFolderName()), std::string::npos) << U8(path);
        EXPECT_TRUE(std::filesystem::exists(U8(path))) << U8(path);
    }
    ctx.config().SetCHKExcel(false);
    const DataFilesOutcome nothing = ExportDataFiles(ctx);
    EXPECT_TRUE(nothing.written.empty());
    EXPECT_NE(nothing.error.find("数据文件"), std::string::npos);
}

// ----- a whole job on the stand-ins -----

// The job's files in the day folder by kind ("淘宝助理5_" …), native paths.
std::map<std::string, std::string> DayFiles(AppContext& ctx) {
    std::map<std::string, std::string> files;
    const std::string day = NativePath(ctx.ImagesDir() + "/" + DayFolderName());
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(day, ec)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = Utf8ToGbk(entry.path().filename().string());
        const std::size_t stamp = name.find('_');
        const std::string kind = name.substr(0, stamp);
        const bool noPicture = name.find("_无图片") != std::string::npos;
        const std::string ext = name.substr(name.rfind('.'));
        files[kind + (noPicture ? "_无图片" : "") + ext] = entry.path().string();
    }
    return files;
}

void ChooseEveryFile(SysConfig& cfg, bool split) {
    cfg.SetCHKTaobao(true);
    cfg.SetCHKTaobao5(true);
    cfg.SetCHKEcshop(true);
    cfg.SetCHKShopex(true);
    cfg.SetCHKExcel(true);
    cfg.SetCHKNoPicBookData(split);
}

bool StartTitleJob(testing::E2eJob& job) {
    ChooseMode(job.ctx(), CollectMode::Title);
    job.ctx().panel().SetInput(CollectInput::Title, job.CommonTitleCharacter());
    return PressStart(job.ctx());
}

// The collected books by outer code.
std::map<std::string, O_BookInfo> CollectedBooks(AppContext& ctx) {
    std::map<std::string, O_BookInfo> books;
    for (int i = 0; i < ctx.collected().Count(); ++i)
        if (auto book = ctx.collected().Book(i))
            books[book->OuterCode] = *book;
    return books;
}

TEST(PreviewJob, BuildsEveryItemIntoTheFilesAndPublishesNothing) {
    testing::E2eOptions small;
    small.books = 150;
    testing::E2eJob job(small);
    AppContext& ctx = job.ctx();
    ChooseEveryFile(ctx.config(), true);
    // Pictures named from their addresses: the PNG and upper-case ones are refused, so
    // both halves of the files have rows.
    ctx.config().SetCHKIsbnForPicName(false);
    ctx.panel().SetPreviewOnly(true);
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(job.RunToEnd()) << job.Describe();

    EXPECT_TRUE(job.market().Items().empty());
    const auto collected = CollectedBooks(ctx);
    ASSERT_GE(collected.size(), 5u);
    const auto files = DayFiles(ctx);
    for (const char* kind : {"淘宝助理.csv", "淘宝助理5.csv", "ecshop.csv", "shopex.csv",
                             "自定义Excel.xlsx", "自定义Excel.csv"}) {
        EXPECT_TRUE(files.count(kind)) << U8(kind);
        EXPECT_TRUE(files.count(std::string(kind).insert(std::string(kind).rfind('.'), "_无图片")))
            << U8(kind);
    }

    // The workbook, both halves: every collected book once, each field as the job had it.
    std::set<std::string> seen;
    int withPicture = 0, without = 0;
    for (const char* name : {"自定义Excel.xlsx", "自定义Excel_无图片.xlsx"}) {
        SCOPED_TRACE(U8(name));
        const bool noPictureHalf = std::string(name).find("无图片") != std::string::npos;
        const Workbook book = ReadWorkbook(files.at(name));
        ASSERT_FALSE(book.cells.empty());
        EXPECT_TRUE(book.frozenHeader);
        const auto& h = book.cells[0];
        for (std::size_t r = 1; r < book.cells.size(); ++r) {
            const auto& row = book.cells[r];
            const std::string code = Cell(row, Col(h, "商品编码"));
            SCOPED_TRACE(code);
            ASSERT_TRUE(collected.count(code));
            EXPECT_TRUE(seen.insert(code).second) << "listed twice";
            const O_BookInfo& rec = collected.at(code);
            const sim::Book* src = job.catalog().FindById(code);
            ASSERT_NE(src, nullptr);
            (noPictureHalf ? without : withPicture)++;
            // The job's own outcome decides: only a saved picture counts.
            EXPECT_EQ(Cell(row, Col(h, "图片下载状况")) != "图片成功下载", noPictureHalf);
            EXPECT_EQ(U8(Cell(row, Col(h, "书名"))), U8(rec.BookName));
            EXPECT_EQ(Cell(row, Col(h, "ISBN")), rec.ISBN);
            EXPECT_EQ(U8(Cell(row, Col(h, "作者"))), U8(rec.Author));
            EXPECT_EQ(U8(Cell(row, Col(h, "出版社"))), U8(src->publisher));
            EXPECT_EQ(Cell(row, Col(h, "出版日期")), rec.PressDate);
            if (!src->listPrice.empty()) {
                EXPECT_DOUBLE_EQ(std::stod(Cell(row, Col(h, "定价"))), std::stod(src->listPrice));
                EXPECT_EQ(std::stod(Cell(row, Col(h, "售价"))),
                          std::stod(FormatPrice(ComputePrice(ctx.config(), rec))));
                EXPECT_EQ(U8(Cell(row, Col(h, "宝贝标题"))),
                          U8(testing::ExpectedItemTitle(rec.BookName, testing::E2eJob::kPrefix,
                                                        testing::E2eJob::kSuffix,
                                                        testing::E2eJob::kTitleLimit)));
                EXPECT_EQ(U8(Cell(row, Col(h, "淘宝状态"))), U8(kPreviewBuilt));
                if (!src->isbn.empty() && !src->Has(sim::Trait::TwoIsbn)) {
                    EXPECT_EQ(Cell(row, Col(h, "淘宝类目")),
                              testing::FirstOfferedCategory(src->isbn));
                }
            } else {
                EXPECT_EQ(U8(Cell(row, Col(h, "原因"))), U8("价格为空，上传失败"));
            }
            EXPECT_EQ(U8(Cell(row, Col(h, "字数"))), U8(src->wordCount));
            EXPECT_EQ(U8(Cell(row, Col(h, "页数"))), U8(src->pageCount));
            EXPECT_EQ(U8(Cell(row, Col(h, "版次"))), U8(src->edition));
            EXPECT_EQ(U8(Cell(row, Col(h, "装帧"))), U8(src->binding));
            EXPECT_EQ(U8(Cell(row, Col(h, "开本"))), U8(src->format));
            const std::string picture = Cell(row, Col(h, "图片"));
            if (noPictureHalf) {
                EXPECT_EQ(picture, "");
            } else {
                EXPECT_TRUE(std::filesystem::is_regular_file(NativePath(picture))) << U8(picture);
            }
        }
    }
    EXPECT_EQ(seen.size(), collected.size());
    EXPECT_GT(withPicture, 0);
    EXPECT_GT(without, 0);

    // The plain CSV holds the workbook's text cell for cell.
    for (const char* name : {"自定义Excel", "自定义Excel_无图片"}) {
        const Table sheet = ReadWorkbook(files.at(std::string(name) + ".xlsx")).cells;
        bool bom = false;
        const Table csv = ParseCsv(
            Utf8WithoutBom(testing::ReadAll(files.at(std::string(name) + ".csv")), bom), ',');
        EXPECT_TRUE(bom);
        ASSERT_EQ(csv.size(), sheet.size());
        const auto& h = csv[0];
        for (std::size_t r = 0; r < csv.size(); ++r)
            for (std::size_t c = 0; c < h.size(); ++c) {
                if (r > 0 && (h[c] == "定价" || h[c] == "网站价" || h[c] == "售价"))
                    continue;  // numbers in the workbook, the shown text in the CSV
                EXPECT_EQ(U8(Cell(csv[r], c)), U8(Cell(sheet[r], c))) << r << "," << c;
            }
    }

    // The bulk-listing files list the same books, split the same way.
    for (const auto& [name, sep, header, codeHeader] :
         std::vector<std::tuple<std::string, char, int, std::string>>{
             {"淘宝助理", ',', 0, "商家编码"},
             {"淘宝助理5", '\t', 2, "商家编码"},
             {"ecshop", ',', 0, "商品货号"},
             {"shopex", ',', 0, "bn:商品编号"}}) {
        SCOPED_TRACE(U8(name));
        std::set<std::string> codes;
        for (const char* half : {"", "_无图片"}) {
            const std::string bytes = testing::ReadAll(files.at(name + half + ".csv"));
            bool bom = false;
            const Table t = ParseCsv(sep == '\t' ? Utf16LeToGbk(bytes, bom) : bytes, sep);
            ASSERT_GT(t.size(), static_cast<std::size_t>(header));
            const int code = Col(t[header], codeHeader);
            ASSERT_GE(code, 0);
            for (std::size_t r = header + 1; r < t.size(); ++r) codes.insert(Cell(t[r], code));
        }
        EXPECT_EQ(codes, seen);
    }
}

TEST(PreviewJob, WithoutDownloadsNamesEachPictureByItsAddressAndStillLeavesTheWorkbook) {
    testing::E2eOptions small;
    small.books = 60;
    testing::E2eJob job(small);
    AppContext& ctx = job.ctx();
    ctx.config().SetCHKNoDownPic(true);  // and no file chosen at all
    ctx.panel().SetPreviewOnly(true);
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(job.RunToEnd()) << job.Describe();
    EXPECT_TRUE(job.market().Items().empty());

    const auto files = DayFiles(ctx);
    std::vector<std::string> kinds;
    for (const auto& [kind, path] : files) kinds.push_back(U8(kind));
    EXPECT_EQ(kinds, (std::vector<std::string>{U8("自定义Excel.csv"), U8("自定义Excel.xlsx")}));
    const auto collected = CollectedBooks(ctx);
    ASSERT_FALSE(collected.empty());
    const Workbook book = ReadWorkbook(files.at("自定义Excel.xlsx"));
    ASSERT_EQ(book.cells.size(), collected.size() + 1);
    const auto& h = book.cells[0];
    int addresses = 0;
    for (std::size_t r = 1; r < book.cells.size(); ++r) {
        const O_BookInfo& rec = collected.at(Cell(book.cells[r], Col(h, "商品编码")));
        EXPECT_EQ(Cell(book.cells[r], Col(h, "图片")), rec.RemoteImageUrl);
        EXPECT_EQ(rec.LocalImageFileName, "");
        addresses += !rec.RemoteImageUrl.empty();
    }
    EXPECT_GT(addresses, 0);
}

TEST(PublishingJob, LeavesFilesWhoseItemsMatchWhatTheShopReceived) {
    testing::E2eOptions small;
    small.books = 80;
    testing::E2eJob job(small);
    AppContext& ctx = job.ctx();
    ChooseEveryFile(ctx.config(), false);
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(job.RunToEnd()) << job.Describe();
    const auto items = job.market().Items();
    ASSERT_FALSE(items.empty());

    const auto files = DayFiles(ctx);
    ASSERT_TRUE(files.count("淘宝助理5.csv"));
    EXPECT_FALSE(files.count("淘宝助理5_无图片.csv"));
    bool bom = false;
    const Table t = ParseCsv(Utf16LeToGbk(testing::ReadAll(files.at("淘宝助理5.csv")), bom), '\t');
    ASSERT_GT(t.size(), 3u);
    const auto& h = t[1];  // the field keys
    std::map<std::string, std::vector<std::string>> byCode;
    for (std::size_t r = 3; r < t.size(); ++r) byCode[Cell(t[r], Col(h, "outer_id"))] = t[r];
    for (const sim::ShopItem& item : items) {
        SCOPED_TRACE(item.outerCode);
        ASSERT_TRUE(byCode.count(item.outerCode));
        const auto& row = byCode.at(item.outerCode);
        EXPECT_EQ(U8(Cell(row, Col(h, "title"))), U8(item.title));
        EXPECT_EQ(Cell(row, Col(h, "cid")), item.categoryId);
        EXPECT_EQ(Cell(row, Col(h, "price")), item.price);
        EXPECT_EQ(Cell(row, Col(h, "num")), item.quantity);
        EXPECT_EQ(Cell(row, Col(h, "postage_id")), item.freightTemplate);
        // The stand-in's form reader drops the line break that ends the description.
        EXPECT_EQ(U8(TrimRight(Cell(row, Col(h, "description")))), U8(TrimRight(item.description)));
        EXPECT_EQ(Cell(row, Col(h, "picture")).find(":1:0:|;") != std::string::npos, true);
    }
}

}  // namespace
}  // namespace vt
