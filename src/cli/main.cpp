// vantrell-cli: the headless front end, for automation and for running the system
// without a desktop. Terminal text is UTF-8.
#include <csignal>
#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"

#ifndef VT_VERSION
#define VT_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"Vantrell -> Taobao publisher, headless front end", "vantrell-cli"};
    app.set_version_flag("--version", std::string("vantrell-cli ") + VT_VERSION);
    app.require_subcommand(1);
    app.footer(vt::cli::kExitCodeHelp);
    vt::cli::Runner run;
    vt::cli::AddInspectCommands(app, run);
    vt::cli::AddLoginCommand(app, run);
    vt::cli::AddPriceCommand(app, run);
    vt::cli::AddCollectCommand(app, run);
    vt::cli::AddImportCommand(app, run);
    vt::cli::AddItemCommands(app, run);
    if (argc < 2) {
        std::cout << app.help();
        return vt::cli::kExitOk;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // CLI11 names the option or value it could not take; every such error is a
        // usage error for a script.
        std::cerr << "error: " << e.what() << "\n"
                  << "Run with --help for the commands and their options." << std::endl;
        return vt::cli::kExitUsage;
    }
    return run ? run() : vt::cli::kExitOk;
}
