#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/Render.hpp"
#include "app/TrayApp.hpp"
#include "ui/linux/MachineServices.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarvik");
    QApplication::setOrganizationName("Tarvik");
    QApplication::setApplicationVersion(TARVIK_VERSION);
    QApplication::setDesktopFileName("tarvik");
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription("Tarvik: what runs on this machine and what it costs.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {"render",
         "Draw a screen offscreen instead of running: " + tarvik::app::renderTargets().join(", ") + ".",
         "target"});
    parser.addOption({"out", "The PNG file --render writes.", "file"});
    parser.addOption({"preview", "Render the fixed preview machine instead of this one."});
    parser.addOption({"dark", "Render in the dark appearance."});
    parser.process(app);

    if (parser.isSet("render")) {
        if (!parser.isSet("out")) {
            std::fprintf(stderr, "tarvik-app: --render needs --out FILE.png\n");
            return 2;
        }
        return tarvik::app::render(
            {parser.value("render"), parser.value("out"), parser.isSet("preview"), parser.isSet("dark")});
    }

    if (tarvik::app::TrayApp::handOver()) return 0;
    tarvik::app::TrayApp tray(tarvik::ui::liveServices());
    tray.start();
    return QApplication::exec();
}
