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
    parser.addOption({"size", "The size of a dashboard render, such as 860x560.", "WIDTHxHEIGHT"});
    parser.process(app);

    if (parser.isSet("render")) {
        if (!parser.isSet("out")) {
            std::fprintf(stderr, "tarvik-app: --render needs --out FILE.png\n");
            return 2;
        }
        QSize size;
        if (parser.isSet("size")) {
            const auto parts = parser.value("size").split('x');
            if (parts.size() == 2) size = QSize(parts[0].toInt(), parts[1].toInt());
            if (!size.isValid() || size.isEmpty()) {
                std::fprintf(stderr, "tarvik-app: --size needs WIDTHxHEIGHT\n");
                return 2;
            }
        }
        return tarvik::app::render({parser.value("render"), parser.value("out"), parser.isSet("preview"),
                                    parser.isSet("dark"), size});
    }

    if (tarvik::app::TrayApp::handOver()) return 0;
    tarvik::app::TrayApp tray(tarvik::ui::liveServices());
    tray.start();
    return QApplication::exec();
}
