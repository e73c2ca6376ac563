// The afl-fuzz entry of one target, chosen at compile time (VT_FUZZ_FUNCTION).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vt::fuzz::VT_FUZZ_FUNCTION(data, size);
}
