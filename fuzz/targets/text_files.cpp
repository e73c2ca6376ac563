// The text files a seller edits (word lists, prefix, suffix, description template): any
// bytes an editor or a copy may leave, NUL bytes and byte-order marks included. What the
// program writes back must read the same on the next start.
#include "base/files.h"
#include "base/log.h"
#include "base/split_list.h"
#include "core/context.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

int FuzzTextFiles(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const TextFileContent content = DecodeTextFile(bytes);
    Require(!HasZeroByte(content.text), "a decoded text file holds no zero byte");
    bool plainAscii = true;
    for (char c : bytes)
        plainAscii = plainAscii && c != '\0' && static_cast<unsigned char>(c) < 0x80;
    if (plainAscii)
        Require(content.text == bytes, "a plain ASCII file reads unchanged");
    for (const std::string& word : SplitList(content.text, ','))
        Require(!HasZeroByte(word), "a listed word holds no zero byte");

    AppContext& ctx = FuzzContext();
    const std::string path = ctx.DataFilePath("前缀.txt");
    Require(WriteTextFile(path, content.text), "a text file can be written");
    Require(ReadTextFile(path, ctx.log()) == content.text, "a written text file reads back");
    return 0;
}

}  // namespace vt::fuzz
