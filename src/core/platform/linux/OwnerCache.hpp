#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/platform/linux/SocketOwners.hpp"

// What a one-shot listing learnt about socket holders, kept for the next one in a file only this
// user may read or write: <runtime folder>/tarvik/socket-owners, the file 0600 and the folder
// 0700, both owned by this user. Nothing in it is trusted as it stands (see SocketOwners::recall);
// a file of another boot, another owner, looser modes or garbled text is ignored whole.
namespace tarvik::OwnerCache {

// The text of the file for `memory`, learnt during the boot `bootId`.
[[nodiscard]] std::string format(const SocketOwners::Memory& memory, std::string_view bootId);
// The memory of `text`; nullopt when it is garbled, cut short or of another boot.
[[nodiscard]] std::optional<SocketOwners::Memory> parse(std::string_view text, std::string_view bootId);

// The file under `runtimeFolder` ($XDG_RUNTIME_DIR); nullopt when it is missing, is a link, is not
// this user's own (owner and modes as above), is over 1 MiB, or parses to nothing.
[[nodiscard]] std::optional<SocketOwners::Memory> load(const std::string& runtimeFolder,
                                                       std::string_view bootId);
// Writes the file, creating the folder (0700) when missing; replaces the old file whole, so that a
// reader never sees half of it. False, and nothing written, where the folder is not this user's
// own or anything fails.
bool save(const std::string& runtimeFolder, std::string_view bootId, const SocketOwners::Memory& memory);

// This boot's id (/proc/sys/kernel/random/boot_id); nullopt when unreadable, and then no cache is
// used at all, as pids and inodes of another boot name other things.
[[nodiscard]] std::optional<std::string> bootId();

}  // namespace tarvik::OwnerCache
