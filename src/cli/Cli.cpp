#include "cli/Cli.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/DoctorCommand.hpp"
#include "cli/ListCommand.hpp"
#include "cli/NetCommand.hpp"
#include "cli/StopCommand.hpp"
#include "cli/StorageCommand.hpp"
#include "cli/VitalsCommand.hpp"
#include "core/Version.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

namespace {

// With a display and the tray application beside this executable, a bare `tarvik` opens it.
void handOverToTrayApp(char** argv) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(display && *display) && !(wayland && *wayland)) return;
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return;
    // Installed side by side, or as the build tree lays them out.
    for (const auto& app :
         {self.parent_path() / "tarvik-app", self.parent_path().parent_path() / "app" / "tarvik-app"}) {
        if (access(app.c_str(), X_OK) != 0) continue;
        std::string path = app.string();
        argv[0] = path.data();
        execv(path.c_str(), argv);  // returns only on failure; the list is shown instead
    }
}

// Every command's help; CLI11 shows nested commands (storage clear) by name only, and the manual
// page is written from this text.
std::string allHelp(CLI::App& app) {
    std::string text = app.help("", CLI::AppFormatMode::All);
    for (auto* command : app.get_subcommands({}))
        for (auto* nested : command->get_subcommands({}))
            text += "\n" + nested->help(app.get_name() + " " + command->get_name());
    return text;
}

}  // namespace

int run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Tarvik shows what runs on this machine and what it costs.", "tarvik"};
    app.set_version_flag("--version", "tarvik " TARVIK_VERSION);
    app.set_help_all_flag("--help-all", "Print this help with every command's options and exit");
    app.require_subcommand(0, 1);
    ListOptions list;
    addListCommand(app, list);
    StopOptions stop;
    addStopCommand(app, stop);
    VitalsOptions vitals;
    addVitalsCommand(app, vitals);
    DoctorOptions doctor;
    addDoctorCommand(app, doctor);
    NetOptions net;
    addNetCommand(app, net);
    StorageOptions storage;
    addStorageCommand(app, storage);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << allHelp(app);
        return 0;
    } catch (const CLI::CallForVersion&) {
        out << app.version() << '\n';
        return 0;
    } catch (const CLI::ParseError& error) {
        // Subcommand help arrives as CallForHelp from the subcommand; anything else is a usage error.
        err << "tarvik: " << Unicode::visible(error.what()) << " (see tarvik --help)\n";
        return 2;
    }

    try {
        if (app.got_subcommand("list")) return runList(list, out, err);
        if (app.got_subcommand("stop")) return runStop(stop, out, err);
        if (app.got_subcommand("vitals")) return runVitals(vitals, out);
        if (app.got_subcommand("doctor")) return runDoctor(doctor, out);
        if (app.got_subcommand("net")) return runNet(net, out, err);
        if (app.got_subcommand("storage")) return runStorage(storage, std::cin, out, err);
        handOverToTrayApp(argv);
        return runList(list, out, err);
    } catch (const std::exception& error) {
        err << "tarvik: " << error.what() << '\n';
        return 1;
    }
}

}  // namespace tarvik::cli
