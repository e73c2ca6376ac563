// "inspect": shows what the system reads from one page, so a seller sees at once
// whether the bookstore's markup still reads.
#include "cli/cli_common.h"
#include "cli/commands.h"

namespace vt::cli {

void AddInspectCommands(CLI::App& app, Runner& run) {
    auto* inspect = app.add_subcommand("inspect", "Show what the system reads from a page");
    inspect->require_subcommand(1);
    (void)run;
}

}  // namespace vt::cli
