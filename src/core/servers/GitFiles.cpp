#include "core/servers/GitFiles.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik::GitFiles {

namespace {

constexpr std::size_t smallFile = 4096;
// A packed-refs file past this is left to git.
constexpr std::size_t packedRefsLimit = std::size_t{1} << 20;

std::string joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.ends_with('/')) path += '/';
    return path += name;
}

std::string relativeTo(std::string_view path, std::string_view folder) {
    return path.starts_with('/') ? std::string(path) : joined(folder, path);
}

bool isObjectId(std::string_view text) {
    return (text.size() == 40 || text.size() == 64) &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// Rejects what git would refuse as a branch, and with it any climb out of the refs folder.
bool isPlainBranchName(std::string_view name) {
    for (std::string_view part : Text::fields(name, '/'))
        if (part.empty() || part.starts_with('.') || part.ends_with(".lock")) return false;
    return name.find("..") == std::string_view::npos && name.find("@{") == std::string_view::npos &&
           name.find_first_of(" ~^:?*[\\\x7f") == std::string_view::npos &&
           std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

struct File {
    enum class State { missing, text, irregular, unreadable };
    State state = State::unreadable;
    std::string text;
};

// Never opens anything but a regular file, so a FIFO or a device cannot block the read.
File readRegular(const std::string& path, std::size_t limit) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return {errno == ENOENT || errno == ENOTDIR ? File::State::missing : File::State::unreadable, {}};
    if (!S_ISREG(info.st_mode)) return {File::State::irregular, {}};
    int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) return {errno == ELOOP ? File::State::irregular : File::State::unreadable, {}};
    File file{File::State::text, {}};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) file.state = File::State::irregular;
    std::array<char, 4096> chunk{};
    while (file.state == File::State::text && file.text.size() <= limit) {
        ssize_t got = ::read(descriptor, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) file.state = File::State::unreadable;
        if (got <= 0) break;
        file.text.append(chunk.data(), static_cast<std::size_t>(got));
    }
    if (file.text.size() > limit) file.state = File::State::unreadable;
    close(descriptor);
    return file;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The common directory of `gitdir` when it holds a repository as git recognises one: a HEAD, and
// objects and refs folders in the common directory; nullopt otherwise.
std::optional<std::string> repositoryCommonDir(const std::string& gitdir) {
    struct stat info {};
    if (lstat(joined(gitdir, "HEAD").c_str(), &info) != 0) return std::nullopt;
    std::string common = gitdir;
    File file = readRegular(joined(gitdir, "commondir"), smallFile);
    if (file.state == File::State::text)
        common = commondirLine(file.text, gitdir);
    else if (file.state != File::State::missing)
        return std::nullopt;
    if (!isDirectory(joined(common, "objects")) || !isDirectory(joined(common, "refs"))) return std::nullopt;
    return common;
}

std::optional<Facts> readFacts(const std::string& gitdir, const std::string& common) {
    std::error_code failed;
    auto canonical = std::filesystem::weakly_canonical(common, failed);
    Facts facts{failed ? common : canonical.string(), std::nullopt};

    File head = readRegular(joined(gitdir, "HEAD"), smallFile);
    if (head.state == File::State::unreadable) return std::nullopt;
    if (head.state != File::State::text) return facts;
    Head line = headLine(head.text);
    if (line.kind == Head::Kind::other) return std::nullopt;
    if (line.kind == Head::Kind::detached) return facts;

    // git names the branch only once it has a commit: a loose ref, else a line in packed-refs.
    std::string ref = "refs/heads/" + line.branch;
    File loose = readRegular(joined(common, ref), smallFile);
    switch (loose.state) {
        case File::State::text:
            if (loose.text.starts_with("ref:")) return std::nullopt;
            if (headLine(loose.text).kind == Head::Kind::detached) facts.branch = line.branch;
            return facts;  // else a broken ref, which git passes over too
        case File::State::irregular:
            return facts;
        case File::State::unreadable:
            return std::nullopt;
        case File::State::missing:
            break;
    }
    File packed = readRegular(joined(common, "packed-refs"), packedRefsLimit);
    if (packed.state == File::State::unreadable) return std::nullopt;
    if (packed.state != File::State::text) return facts;
    auto held = packedRefsHold(packed.text, ref);
    if (!held) return std::nullopt;
    if (*held) facts.branch = line.branch;
    return facts;
}

}  // namespace

std::optional<std::string> gitdirLine(std::string_view content, std::string_view folder) {
    constexpr std::string_view prefix = "gitdir: ";
    std::string_view path = Text::trimEnd(content, "\r\n");
    if (!path.starts_with(prefix) || path.size() == prefix.size()) return std::nullopt;
    return relativeTo(path.substr(prefix.size()), folder);
}

std::string commondirLine(std::string_view content, std::string_view gitdir) {
    return relativeTo(Text::trimEnd(content, "\r\n"), gitdir);
}

std::optional<bool> packedRefsHold(std::string_view text, std::string_view ref) {
    bool held = false;
    bool first = true;
    for (std::string_view line : Text::lines(text)) {
        std::size_t space = line.find(' ');
        bool listed = space != std::string_view::npos && isObjectId(line.substr(0, space));
        bool peeled = line.starts_with('^') && isObjectId(line.substr(1));
        if (!listed && !peeled && !(first && line.starts_with("# pack-refs with:"))) return std::nullopt;
        held = held || (listed && line.substr(space + 1) == ref);
        first = false;
    }
    return held;
}

Head headLine(std::string_view content) {
    std::string_view text = Text::trimEnd(content, Text::whitespace);
    if (isObjectId(text)) return {Head::Kind::detached, {}};
    constexpr std::string_view branches = "refs/heads/";
    if (!text.starts_with("ref:")) return {};
    text = Text::trim(text.substr(4), Text::whitespace);
    if (!text.starts_with(branches) || !isPlainBranchName(text.substr(branches.size()))) return {};
    return {Head::Kind::branch, std::string(text.substr(branches.size()))};
}

std::optional<Facts> read(const std::string& cwd) {
    struct stat start {};
    if (!cwd.starts_with('/') || stat(cwd.c_str(), &start) != 0) return Facts{};
    std::string folder(Paths::withoutTrailingSlashes(cwd));
    for (;;) {
        std::string dotGit = joined(folder, ".git");
        struct stat info {};
        if (lstat(dotGit.c_str(), &info) == 0) {
            if (S_ISREG(info.st_mode)) {
                File file = readRegular(dotGit, smallFile);
                auto gitdir = file.state == File::State::text ? gitdirLine(file.text, folder) : std::nullopt;
                if (!gitdir) return std::nullopt;
                auto common = repositoryCommonDir(*gitdir);
                return common ? readFacts(*gitdir, *common) : Facts{};  // git refuses such a gitdir outright
            }
            if (!S_ISDIR(info.st_mode)) return std::nullopt;
            if (auto common = repositoryCommonDir(dotGit)) return readFacts(dotGit, *common);
        }
        if (auto common = repositoryCommonDir(folder)) return readFacts(folder, *common);  // bare
        if (folder == "/") return Facts{};
        std::string parent = folder.substr(0, std::max<std::size_t>(folder.rfind('/'), 1));
        if (stat(parent.c_str(), &info) != 0 || info.st_dev != start.st_dev) return Facts{};
        folder = std::move(parent);
    }
}

}  // namespace tarvik::GitFiles
