// Every CSV kind of data file on a book whose fields came from any product page: read
// back, no cell is one a spreadsheet would evaluate as a formula.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/data_rows.h"
#include "market/data_files/ecshop_csv.h"
#include "market/data_files/plain_csv.h"
#include "market/data_files/shopex_csv.h"
#include "market/data_files/taobao_assistant.h"

namespace vt::fuzz {
namespace {

// RFC 4180 cells, records flattened.
std::vector<std::string> Cells(const std::string& text, char sep) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                cell += text[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == sep || c == '\r' || c == '\n') {
            cells.push_back(std::move(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(cell);
    return cells;
}

std::string Utf16LeText(const std::string& bytes) {
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return Utf16ToGbk(wide);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void RequireNoFormula(const std::string& text, char sep) {
    for (const std::string& cell : Cells(text, sep))
        Require(!ReadsAsFormula(cell), "no data file cell reads as a formula");
}

}  // namespace

int FuzzCsvCells(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("vt-fuzz-csv-" + std::to_string(static_cast<long>(::getpid())));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    const auto parts = SplitInput(data, size, 8);
    std::vector<DataFileRow> rows(1);
    DataFileRow& row = rows[0];
    row.title = parts[0];
    row.book.BookName = parts[0];
    row.book.Author = parts[1];
    row.book.PressName = parts[2];
    row.book.ISBN = parts[3];
    row.book.OuterCode = parts[4];
    row.book.HeadTitle = parts[5];
    row.book.MarketPrice = parts[6];
    row.price = parts[6];
    row.description = parts[7];
    row.sellingPoint = parts[5];
    row.picture = parts[4];

    // The cell writer itself, for both separators.
    for (char sep : {',', '\t'}) {
        const std::string line = CsvLine({parts[0], parts[5], parts[7]}, sep);
        RequireNoFormula(line, sep);
    }
    const std::string base = dir + "/";
    if (WritePlainCsv(base + "plain.csv", rows)) {
        std::string text = ReadBytes(base + "plain.csv");
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);  // UTF-8 after its mark: the formula bytes are ASCII either way
        RequireNoFormula(text, ',');
    }
    if (WriteAssistantCsv(base + "assistant.csv", rows))
        RequireNoFormula(ReadBytes(base + "assistant.csv"), ',');
    if (WriteAssistant5Csv(base + "assistant5.csv", rows))
        RequireNoFormula(Utf16LeText(ReadBytes(base + "assistant5.csv")), '\t');
    if (WriteEcshopCsv(base + "ecshop.csv", rows, base))
        RequireNoFormula(ReadBytes(base + "ecshop.csv"), ',');
    if (WriteShopexCsv(base + "shopex.csv", rows, base))
        RequireNoFormula(ReadBytes(base + "shopex.csv"), ',');
    return 0;
}

}  // namespace vt::fuzz
