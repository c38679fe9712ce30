#pragma once

#include <sys/types.h>

#include <QString>
#include <string>

#include "core/support/XdgDirs.hpp"

// Where the app of one desktop session listens for later launches in that session. Launches in
// other sessions of the same user (another display, `ssh -X`, a nested compositor) get a place
// of their own, and no other user can take or read the place first.
namespace tarvik::app::SessionSocket {

// The socket's absolute path for the session `environment` describes: in $XDG_RUNTIME_DIR when
// that is a private folder of `user`, else in a private folder of `user` made in the temporary
// folder ($TMPDIR, else /tmp). The name is derived from the session's display (WAYLAND_DISPLAY,
// else DISPLAY, else the session bus address). Empty when no private place exists, for instance
// when another user made the fallback folder first: the app then runs without hand-over.
[[nodiscard]] QString path(const XdgDirs::Lookup& environment, uid_t user);
// The same for this process.
[[nodiscard]] QString path();

// True when `folder` is a folder itself (not a link to one), owned by `user`, that no one else
// may enter.
[[nodiscard]] bool isPrivateFolder(const std::string& folder, uid_t user);

}  // namespace tarvik::app::SessionSocket
