#include "Input.hpp"
#include "core/servers/GitFiles.hpp"
#include "core/servers/GitProject.hpp"

using namespace tarvik;

namespace {

constexpr std::string_view folder = "/home/me/project";
constexpr std::string_view gitdir = "/home/me/project/.git/worktrees/feature";
constexpr std::string_view home = "/home/me";

// A path read from a file is absolute, or placed below the folder that held the file.
bool placed(const std::string& path, std::string_view base) {
    return path.starts_with('/') || path.starts_with(std::string(base) + "/");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 6, choice, input)) return 0;
    switch (choice) {
        case 0:
            if (auto path = GitFiles::gitdirLine(input, folder)) fuzz::require(placed(*path, folder));
            break;
        case 1:
            fuzz::require(placed(GitFiles::commondirLine(input, gitdir), gitdir));
            break;
        case 2: {
            auto head = GitFiles::headLine(input);
            if (head.kind == GitFiles::Head::Kind::branch) {
                // The name is joined below refs/heads, so it must never climb out of it.
                fuzz::require(!head.branch.empty() && !head.branch.starts_with('/'));
                fuzz::require(head.branch.find("..") == std::string::npos);
                fuzz::require(head.branch.find('\0') == std::string::npos);
            } else {
                fuzz::require(head.branch.empty());
            }
            break;
        }
        case 3:
            (void)GitFiles::packedRefsHold(input, "refs/heads/main");
            break;
        case 4:
            if (auto root = GitProject::root(input)) fuzz::require(root->starts_with('/'));
            break;
        case 5:
            if (auto name = GitProject::name(input, home))
                fuzz::require(!name->empty() && name->find('/') == std::string::npos);
            break;
    }
    return 0;
}
