#include "ui/linux/AutostartLoginItem.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"
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

std::string generatedEntry(const std::string& executable) {
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

std::vector<std::string> AutostartLoginItem::defaultDataDirs() {
    const char* value = std::getenv("XDG_DATA_DIRS");
    std::vector<std::string> dirs;
    // Relative entries are ignored, as XDG readers do.
    for (auto dir : Text::split(value ? value : "", ':'))
        if (dir.starts_with('/')) dirs.emplace_back(dir);
    if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
    return dirs;
}

AutostartLoginItem::AutostartLoginItem(std::string configHome, std::string executable,
                                       std::vector<std::string> dataDirs)
    : m_configHome(std::move(configHome)),
      m_executable(executable.empty() ? QCoreApplication::applicationFilePath().toStdString()
                                      : std::move(executable)),
      m_dataDirs(std::move(dataDirs)),
      m_entry(m_configHome + "/autostart/tarvik.desktop") {}

std::string AutostartLoginItem::entryText() const {
    std::vector<std::string> dirs{
        (std::filesystem::path(m_executable).parent_path().parent_path() / "share").string()};
    dirs.insert(dirs.end(), m_dataDirs.begin(), m_dataDirs.end());
    for (const auto& dir : dirs) {
        auto installed = DesktopEntry::read(dir + "/tarvik/tarvik-autostart.desktop");
        if (installed && DesktopEntry::value(*installed, "Exec")) return *installed;
    }
    return generatedEntry(m_executable);
}

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
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::fromStdString(entryText())) < 0 ||
        !file.commit())
        return "could not write " + m_entry + ": " + file.errorString().toStdString();
    return std::nullopt;
}

}  // namespace tarvik::ui
