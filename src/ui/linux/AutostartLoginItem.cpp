#include "ui/linux/AutostartLoginItem.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/support/Paths.hpp"
#include "core/support/XdgDirs.hpp"
#include "ui/linux/DesktopEntry.hpp"

namespace tarvik::ui {

namespace {

std::string systemError() {
    return std::strerror(errno);
}

// Each missing folder on the way, private to the user as the XDG base directories should be.
std::optional<std::string> makeFolders(const std::string& folder) {
    std::filesystem::path partial;
    for (const auto& component : std::filesystem::path(folder)) {
        partial /= component;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return "could not create " + partial.string() + ": " + systemError();
    }
    return std::nullopt;
}

std::string entryText(const std::string& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tarvik\n"
           "Comment=See what runs on your machine and what it costs\n"
           "Exec=" +
           DesktopEntry::execArgument(executable) +
           "\n"
           "Icon=tarvik\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace

std::string AutostartLoginItem::defaultConfigHome() {
    return XdgDirs::of(Paths::homeDirectory()).config;
}

AutostartLoginItem::AutostartLoginItem(std::string configHome, std::string executable)
    : m_configHome(std::move(configHome)),
      m_executable(executable.empty() ? QCoreApplication::applicationFilePath().toStdString()
                                      : std::move(executable)),
      m_entry(m_configHome + "/autostart/tarvik.desktop") {}

bool AutostartLoginItem::isEnabled() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_entry, error)) return false;
    std::ifstream file(m_entry);
    if (!file) return false;
    std::stringstream text;
    text << file.rdbuf();
    std::string content = text.str();
    return DesktopEntry::value(content, "Hidden") != "true" &&
           DesktopEntry::value(content, "X-GNOME-Autostart-enabled") != "false";
}

std::optional<std::string> AutostartLoginItem::setEnabled(bool enabled) {
    if (!enabled) {
        if (::unlink(m_entry.c_str()) != 0 && errno != ENOENT)
            return "could not remove " + m_entry + ": " + systemError();
        return std::nullopt;
    }
    if (auto error = makeFolders(m_configHome + "/autostart")) return error;
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(m_entry)));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray::fromStdString(entryText(m_executable))) < 0 || !file.commit())
        return "could not write " + m_entry + ": " + file.errorString().toStdString();
    return std::nullopt;
}

}  // namespace tarvik::ui
