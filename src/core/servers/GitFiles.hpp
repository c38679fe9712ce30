#pragma once

#include <optional>
#include <string>
#include <string_view>

// The repository facts git would print for a folder, read from the repository's own files so
// that no git process runs (and none can hang on a hostile repository). Every file is read only
// when it is a regular file, without blocking and up to a small size.
namespace tarvik::GitFiles {

// The repository a `.git` file names with "gitdir: <path>"; a relative path is taken from
// `folder`, the one holding the file. nullopt for any other content.
[[nodiscard]] std::optional<std::string> gitdirLine(std::string_view content, std::string_view folder);

// The common directory named by the content of a `commondir` file inside `gitdir`; a relative
// path is taken from the gitdir.
[[nodiscard]] std::string commondirLine(std::string_view content, std::string_view gitdir);

// What a HEAD file (or a loose ref file) holds.
struct Head {
    enum class Kind { branch, detached, other };
    Kind kind = Kind::other;
    std::string branch;  // for `branch`: the name below refs/heads/
    bool operator==(const Head&) const = default;
};
[[nodiscard]] Head headLine(std::string_view content);

// Whether the text of a packed-refs file lists `ref` ("refs/heads/main"); nullopt for a line git
// would reject the whole file for.
[[nodiscard]] std::optional<bool> packedRefsHold(std::string_view text, std::string_view ref);

struct Facts {
    std::optional<std::string> commonDir;  // absolute, as `git rev-parse --git-common-dir`; none outside git
    std::optional<std::string> branch;  // as `git rev-parse --abbrev-ref HEAD`; none when detached or unborn
    bool operator==(const Facts&) const = default;
};

// The facts for the repository holding `cwd`, found by walking up to the filesystem root (and not
// across a mount point); nullopt when the layout is one this reader does not understand, for git
// to decide.
[[nodiscard]] std::optional<Facts> read(const std::string& cwd);

}  // namespace tarvik::GitFiles
