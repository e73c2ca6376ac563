#include "fuzz_support.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

#include "base/hosts.h"
#include "base/text.h"
#include "core/context.h"

namespace vt::fuzz {

bool ReadMultipartNames(const std::string& body, const std::string& boundary,
                        std::vector<std::string>& names) {
    // Split the way a receiving server does: every "--" + boundary starts a delimiter,
    // whatever the part before it meant.
    static constexpr std::string_view kHead = "Content-Disposition: form-data; name=\"";
    names.clear();
    const std::string delimiter = "--" + boundary;
    if (boundary.empty() || body.compare(0, delimiter.size(), delimiter) != 0)
        return false;
    std::size_t pos = delimiter.size();
    for (;;) {
        if (body.compare(pos, 2, "--") == 0)
            return pos + 2 == body.size();
        if (body.compare(pos, 2 + kHead.size(), "\r\n" + std::string(kHead)) != 0)
            return false;
        pos += 2 + kHead.size();
        const std::size_t quote = body.find('"', pos);
        if (quote == std::string::npos || body.compare(quote, 5, "\"\r\n\r\n") != 0)
            return false;
        names.push_back(body.substr(pos, quote - pos));
        const std::size_t next = body.find("\r\n" + delimiter, quote + 5);
        if (next == std::string::npos)
            return false;
        pos = next + 2 + delimiter.size();
    }
}

std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t parts) {
    std::vector<std::string> out(parts);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && part + 1 < parts) {
            ++part;
            continue;
        }
        out[part].push_back(static_cast<char>(data[i]));
    }
    return out;
}

void Require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

namespace {

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

Fields UrlEncodedFields(const std::string& body) {
    Fields fields;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        const std::size_t amp = std::min(body.find('&', pos), body.size());
        const std::string_view pair = std::string_view(body).substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        fields.emplace_back(
            PercentDecoded(pair.substr(0, eq)),
            eq == std::string_view::npos ? std::string() : PercentDecoded(pair.substr(eq + 1)));
        pos = amp + 1;
    }
    return fields;
}

bool HasZeroByte(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

namespace {

class FuzzTree {
public:
    FuzzTree() {
        namespace fs = std::filesystem;
        std::string tmpl = (fs::temp_directory_path() / "vantrell-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            Require(false, "a temporary folder can be made");
        root_ = tmpl;
        // No Log folder: entries written while fuzzing go nowhere instead of filling the disk.
        for (const char* d : {"Data", "Data/File", "DataBase", "images"})
            fs::create_directories(fs::path(root_) / d);
        ctx_ = std::make_unique<AppContext>(Utf8ToGbk(root_));
        for (std::size_t r = 0; r < kHostRoleCount; ++r)
            ctx_->hosts().Set(static_cast<HostRole>(r), "http://127.0.0.1:9");
    }
    ~FuzzTree() {
        ctx_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    AppContext& ctx() { return *ctx_; }

private:
    std::string root_;
    std::unique_ptr<AppContext> ctx_;
};

}  // namespace

AppContext& FuzzContext() {
    static FuzzTree tree;
    return tree.ctx();
}

}  // namespace vt::fuzz
