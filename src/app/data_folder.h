// Where a front end keeps its data tree (Data, Data/File, DataBase, Log, images).
//
// Three layouts: a folder named on the command line; the portable layout, a writable
// folder beside the executable that holds the tree (the build output, an unpacked
// archive); and the installed layout, where the executable's folder holds no tree of
// its own and each user gets a folder under $XDG_DATA_HOME (default ~/.local/share),
// made on first start from the tree the package ships.
#pragma once

#include <string>
#include <vector>

namespace vt {

struct DataFolderInputs {
    std::string explicitDir;  // --app-dir, native (UTF-8) path; empty when not given
    std::string exeDir;       // the executable's folder, native path
    std::string xdgDataHome;  // $XDG_DATA_HOME, may be empty
    std::string home;         // $HOME, may be empty
};

enum class DataLayout { Explicit, Portable, PerUser };

struct DataFolderChoice {
    std::string dir;  // GBK path of the data tree, as the context takes it
    DataLayout layout = DataLayout::Portable;
    std::vector<std::string> updated;  // shipped files copied or renewed at this start
    std::string error;                 // not empty: no usable folder (GBK, for the seller)
};

// Reads $XDG_DATA_HOME and $HOME; exeDir is the running executable's folder.
DataFolderInputs DataFolderInputsFromEnvironment(const std::string& explicitDirUtf8);

DataFolderChoice ChooseDataFolder(const DataFolderInputs& in);

// Brings a per-user tree up to date with the shipped one: a file the user lacks and was
// never given is copied; a file the user never changed since it was copied is renewed
// when the shipped one changed; everything else (settings, lists, databases) is left
// alone. What was given is recorded, with a hash of its bytes, in `.shipped` in the user
// folder. Returns the relative paths copied or renewed; `error` is set on a failure.
std::vector<std::string> SyncShippedTree(const std::string& shippedDir, const std::string& userDir,
                                         std::string& error);

}  // namespace vt
