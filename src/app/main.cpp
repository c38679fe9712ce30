#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/Render.hpp"
#include "app/Translations.hpp"
#include "app/TrayApp.hpp"
#include "core/Version.hpp"
#include "ui/linux/MachineServices.hpp"

namespace {

void identify() {
    QCoreApplication::setApplicationName("Tarvik");
    QCoreApplication::setOrganizationName("Tarvik");
    QCoreApplication::setApplicationVersion(TARVIK_VERSION);
}

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Tarvik: what runs on this machine and what it costs."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"render",
                      QCoreApplication::translate("main", "Draw a screen offscreen instead of running: %1.")
                          .arg(tarvik::app::renderTargets().join(", ")),
                      QCoreApplication::translate("main", "target")});
    parser.addOption({"out", QCoreApplication::translate("main", "The PNG file --render writes."),
                      QCoreApplication::translate("main", "file")});
    parser.addOption({"preview", QCoreApplication::translate(
                                     "main", "Render the fixed preview machine instead of this one.")});
    parser.addOption({"dark", QCoreApplication::translate("main", "Render in the dark appearance.")});
    parser.addOption({"size",
                      QCoreApplication::translate("main", "The size of a dashboard render, such as 860x560."),
                      QCoreApplication::translate("main", "WIDTHxHEIGHT")});
}

bool asksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* flag : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], flag) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Help and the version are answered before the GUI starts, so that they need no display.
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication text(argc, argv);
        identify();
        QCommandLineParser parser;
        describe(parser);
        parser.process(text);  // prints and exits
    }

#ifdef __GLIBC__
    // The app idles nearly always: its few threads share one heap rather than keep one each, which
    // would hold the pages their last refresh used.
    mallopt(M_ARENA_MAX, 1);
#endif
    QApplication app(argc, argv);
    identify();
    // Before the first widget, so that every text it shows is already in the user's language.
    tarvik::app::installTranslation(QLocale::system(), tarvik::app::translationFolders());
    QApplication::setDesktopFileName("tarvik");
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    describe(parser);
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
