#include "ui/linux/LinuxDesktop.hpp"

#include <pwd.h>
#include <unistd.h>

#include <QClipboard>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"
#include "core/support/XdgDirs.hpp"
#include "ui/linux/DesktopEntry.hpp"

namespace tarvik::ui {

namespace {

QString localPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

void openLocal(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(localPath(path)));
}

// The folder holding `path`; a folder's own parent when `path` is one.
std::string containingFolder(const std::string& path) {
    std::filesystem::path trimmed(Paths::withoutTrailingSlashes(path));
    return trimmed.has_parent_path() ? trimmed.parent_path().string() : "/";
}

}  // namespace

LinuxDesktop::LinuxDesktop(QDBusConnection bus) : m_bus(std::move(bus)) {}

void LinuxDesktop::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void LinuxDesktop::reveal(const std::string& path) {
    auto call =
        QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(localPath(path)).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), &m_replies);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_replies,
                     [path](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) openLocal(containingFolder(path));
                         finished->deleteLater();
                     });
}

void LinuxDesktop::openFolder(const std::string& path) {
    openLocal(path);
}

void LinuxDesktop::openTrash() {
    if (QDesktopServices::openUrl(QUrl("trash:///"))) return;
    // The Trash that moving a large file to the Trash fills.
    std::string files = XdgDirs::of(Paths::homeDirectory()).data + "/Trash/files";
    std::error_code ignored;
    if (std::filesystem::is_directory(files, ignored)) openLocal(files);
}

void LinuxDesktop::copyText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

bool LinuxDesktop::copyImage(const QByteArray& png) {
    QImage image;
    if (!image.loadFromData(png, "PNG")) return false;
    // The PNG itself as well as the image, so that a receiver taking image/png gets these bytes.
    auto* data = new QMimeData;
    data->setImageData(image);
    data->setData("image/png", png);
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    return true;
}

std::optional<std::string> LinuxDesktop::downloadsFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return std::nullopt;
    return QFile::encodeName(folder).toStdString();
}

void LinuxDesktop::openSettings(SettingsPanel panel) {
    QString program = QStandardPaths::findExecutable("gnome-control-center");
    if (program.isEmpty()) return;
    QProcess::startDetached(program, {panel == SettingsPanel::battery ? "power" : "notifications"});
}

bool LinuxDesktop::askToQuit(const AppUsage& app) {
    if (!app.bundlePath) return false;
    auto text = DesktopEntry::read(*app.bundlePath);
    auto target = text ? DesktopEntry::busApplication(*app.bundlePath, *text) : std::nullopt;
    if (!target || !m_bus.isConnected()) return false;
    QString service = QString::fromStdString(target->service);
    // Asked through the connection itself, not its interface object, since this runs off the
    // thread that owns that object.
    auto owned = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "NameHasOwner");
    owned << service;
    QDBusReply<bool> registered = m_bus.call(owned);
    if (!registered.isValid() || !registered.value()) return false;
    auto call = QDBusMessage::createMethodCall(service, QString::fromStdString(target->objectPath),
                                               "org.freedesktop.Application", "ActivateAction");
    call << QString("quit") << QVariantList() << QVariantMap();
    call.setAutoStartService(false);
    m_bus.asyncCall(call);
    return true;
}

std::string LinuxDesktop::userFullName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(4096);
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1 << 20))
        buffer.resize(buffer.size() * 2);
    if (!found || !found->pw_gecos) return {};
    std::string_view gecos = found->pw_gecos;
    return Text::repairUtf8(Text::trim(gecos.substr(0, gecos.find(','))));
}

}  // namespace tarvik::ui
