// "vantrell-sim demo": the stand-ins start in-process on free ports, the headless front
// end's job runner logs the demo account in and runs a title job against them.
#pragma once

#include "cli/commands.h"

namespace vt::cli {

void AddDemoCommand(CLI::App& app, Runner& run);

}  // namespace vt::cli
