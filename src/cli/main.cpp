// vantrell-cli: the headless front end, for automation and for running the system
// without a desktop. Terminal text is UTF-8.
#include <csignal>

#include "cli/commands.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"Vantrell -> Taobao publisher, headless front end"};
    app.require_subcommand(1);
    vt::cli::Runner run;
    vt::cli::AddInspectCommands(app, run);
    vt::cli::AddLoginCommand(app, run);
    vt::cli::AddPriceCommand(app, run);
    vt::cli::AddCollectCommand(app, run);
    vt::cli::AddImportCommand(app, run);
    CLI11_PARSE(app, argc, argv);
    return run ? run() : 0;
}
