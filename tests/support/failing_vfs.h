// SQLite's default file layer with a switch that makes writes fail as on a full disk:
// registered as the default once, it passes everything through until a test arms it.
#pragma once

#include <string>

namespace vt::testing {

class FailingVfs {
public:
    // Registers the layer as SQLite's default (once per process) and disarms it.
    static FailingVfs& Install();

    // Only files whose path contains the text are failed (empty: every file).
    void SetPathFilter(const std::string& containing);
    // Every write, truncate and sync fails with SQLITE_FULL while on.
    void FailAllWrites(bool on);
    // The next n write transactions fail (each opens a rollback journal; its writes fail),
    // then writes go through again.
    void FailNextTransactions(int n);
    // Everything through again, the filter cleared.
    void Disarm();
    // Writes refused since the layer was installed.
    int RefusedWrites() const;
};

}  // namespace vt::testing
