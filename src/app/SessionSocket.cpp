#include "app/SessionSocket.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>

namespace tarvik::app::SessionSocket {

namespace {

// A display name may be a path or hold characters a file name should not; its digest is neither.
std::string sessionName(const XdgDirs::Lookup& environment) {
    std::string session = "console";
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
        auto value = environment(name);
        if (value && !value->empty()) {
            session = std::string(name) + "=" + *value;
            break;
        }
    }
    const auto digest =
        QCryptographicHash::hash(QByteArray::fromStdString(session), QCryptographicHash::Sha256);
    return "tarvik-" + digest.toHex().left(16).toStdString();
}

}  // namespace

bool isPrivateFolder(const std::string& folder, uid_t user) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 0077) == 0;
}

QString path(const XdgDirs::Lookup& environment, uid_t user) {
    const std::string name = sessionName(environment);
    auto runtime = environment("XDG_RUNTIME_DIR");
    if (runtime && runtime->starts_with('/') && isPrivateFolder(*runtime, user))
        return QString::fromStdString(*runtime + "/" + name);
    auto temporary = environment("TMPDIR");
    if (!temporary || !temporary->starts_with('/')) temporary = "/tmp";
    const std::string folder = *temporary + "/tarvik-" + std::to_string(user);
    // Made here when missing; taken as it is only when it is still ours alone.
    mkdir(folder.c_str(), 0700);
    if (!isPrivateFolder(folder, user)) return {};
    return QString::fromStdString(folder + "/" + name);
}

QString path() {
    return path(XdgDirs::processEnvironment(), getuid());
}

}  // namespace tarvik::app::SessionSocket
