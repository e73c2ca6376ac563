#include "app/data_folder.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "base/files.h"
#include "base/text.h"

namespace vt {

namespace fs = std::filesystem;

namespace {

constexpr char kManifest[] = ".shipped";
constexpr char kUserFolderName[] = "vantrell";

bool HoldsTree(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(dir / "Data" / "Setting.ini", ec);
}

bool Writable(const fs::path& dir) {
    return access(dir.c_str(), W_OK) == 0;
}

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// FNV-1a: stable across builds and versions, which std::hash does not promise.
std::string Fingerprint(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

// One line per file given: fingerprint, a tab, the path relative to the tree.
std::map<std::string, std::string> ReadManifest(const fs::path& file) {
    std::map<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            out[line.substr(tab + 1)] = line.substr(0, tab);
    }
    return out;
}

// The new file at tmp takes the mode of the file it replaces, or is private when it is
// the first: a seller's own choice of mode is kept, and nothing new is world-readable.
void TakeModeOf(const fs::path& tmp, const fs::path& replaced) {
    std::error_code ec;
    const fs::file_status old = fs::status(replaced, ec);
    if (!ec && fs::exists(old))
        fs::permissions(tmp, old.permissions(), ec);
    else
        KeepPrivate(tmp.string(), false);
}

// Creates the folder and any missing parents; a folder made here is private.
bool MakeFolder(const fs::path& dir, std::error_code& ec) {
    const bool existed = fs::exists(dir, ec);
    fs::create_directories(dir, ec);
    if (!ec && !existed)
        KeepPrivate(dir.string(), true);
    return !ec;
}

bool WriteManifest(const fs::path& file, const std::map<std::string, std::string>& entries) {
    const fs::path tmp = file.string() + ".new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (const auto& [rel, fp] : entries) out << fp << '\t' << rel << '\n';
        if (!out.flush())
            return false;
        out.close();
        if (out.fail())
            return false;
    }
    TakeModeOf(tmp, file);
    std::error_code ec;
    fs::rename(tmp, file, ec);
    return !ec;
}

// Copies through a temporary name, so a start that is killed halfway leaves either the
// old file or the new one, never half of it.
bool CopyWhole(const fs::path& from, const fs::path& to) {
    const fs::path tmp = to.string() + ".new";
    std::error_code ec;
    fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        fs::remove(tmp, ec);  // half a copy on a full disk is no use to anyone
        return false;
    }
    TakeModeOf(tmp, to);
    fs::rename(tmp, to, ec);
    return !ec;
}

}  // namespace

std::vector<std::string> SyncShippedTree(const std::string& shippedDir, const std::string& userDir,
                                         std::string& error) {
    std::vector<std::string> updated;
    const fs::path shipped(shippedDir), user(userDir);
    std::error_code ec;
    if (!MakeFolder(user, ec)) {
        error = "cannot create " + userDir + ": " + ec.message();
        return updated;
    }
    auto manifest = ReadManifest(user / kManifest);
    bool changed = false;
    for (auto it = fs::recursive_directory_iterator(shipped, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path rel = fs::relative(it->path(), shipped);
        const fs::path target = user / rel;
        if (it->is_directory()) {
            if (!MakeFolder(target, ec))
                break;
            continue;
        }
        if (!it->is_regular_file() || rel.filename() == ".keep")
            continue;
        const std::string key = rel.generic_string();
        const std::string given = Fingerprint(ReadBytes(it->path()));
        const auto recorded = manifest.find(key);
        bool copy = false;
        if (!fs::exists(target)) {
            // A file the seller deleted after it was given stays deleted.
            copy = recorded == manifest.end();
        } else if (recorded != manifest.end() && recorded->second != given) {
            copy = Fingerprint(ReadBytes(target)) == recorded->second;
        }
        if (!copy)
            continue;
        if (!CopyWhole(it->path(), target)) {
            error = "cannot write " + target.string();
            return updated;
        }
        manifest[key] = given;
        updated.push_back(key);
        changed = true;
    }
    if (ec) {
        error = "cannot read " + shippedDir + ": " + ec.message();
        return updated;
    }
    if (changed && !WriteManifest(user / kManifest, manifest))
        error = "cannot write " + (user / kManifest).string();
    return updated;
}

DataFolderInputs DataFolderInputsFromEnvironment(const std::string& explicitDirUtf8) {
    DataFolderInputs in;
    in.explicitDir = explicitDirUtf8;
    in.exeDir = NativePath(AppDir());
    if (const char* v = std::getenv("XDG_DATA_HOME"))
        in.xdgDataHome = v;
    if (const char* v = std::getenv("HOME"))
        in.home = v;
    return in;
}

DataFolderChoice ChooseDataFolder(const DataFolderInputs& in) {
    DataFolderChoice choice;
    auto finish = [&](const fs::path& dir) {
        std::string d = dir.string();
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        choice.dir = Utf8ToGbk(d);
        return choice;
    };
    if (!in.explicitDir.empty()) {
        choice.layout = DataLayout::Explicit;
        return finish(in.explicitDir);
    }
    const fs::path exe(in.exeDir);
    if (HoldsTree(exe) && Writable(exe)) {
        choice.layout = DataLayout::Portable;
        return finish(exe);
    }
    choice.layout = DataLayout::PerUser;
    // XDG: a relative $XDG_DATA_HOME is to be ignored.
    fs::path base;
    if (!in.xdgDataHome.empty() && in.xdgDataHome.front() == '/')
        base = in.xdgDataHome;
    else if (!in.home.empty())
        base = fs::path(in.home) / ".local" / "share";
    else {
        choice.error = Utf8ToGbk("no per-user folder: neither XDG_DATA_HOME nor HOME is set");
        return finish(exe);
    }
    const fs::path user = base / kUserFolderName;
    // The installed tree (bin/../share/vantrell), or a read-only portable tree.
    fs::path shipped = exe.parent_path() / "share" / kUserFolderName;
    if (HoldsTree(exe))
        shipped = exe;
    if (!HoldsTree(shipped)) {
        if (!HoldsTree(user))
            choice.error = Utf8ToGbk("no data tree: neither " + (exe / "Data").string() + " nor " +
                                     (shipped / "Data").string() + " exists");
        return finish(user);
    }
    std::string error;
    for (const std::string& rel : SyncShippedTree(shipped.string(), user.string(), error))
        choice.updated.push_back(Utf8ToGbk(rel));
    if (!error.empty())
        choice.error = Utf8ToGbk(error);
    return finish(user);
}

}  // namespace vt
