#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "Input.hpp"
#include "core/platform/linux/Sensors.hpp"
#include "core/support/Text.hpp"

using namespace tarvik;

namespace {

// The readers take a /sys tree, so each input is written as one below a private folder, which
// goes when the run ends.
class Tree {
public:
    Tree() {
        std::string pattern = (shm() / "tarvik-fuzz-sensors-XXXXXX").string();
        if (!mkdtemp(pattern.data())) __builtin_trap();
        m_root = pattern;
    }
    ~Tree() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    [[nodiscard]] std::string root() const { return m_root.string(); }

    // Lines "FOLDER: NAME=VALUE | NAME=VALUE" below class/, as the unit tests write them; each
    // value ends in a newline, as sysfs attributes do. Names that could leave the tree are passed
    // over, and so is every file past the first few, to keep an input quick. Only what differs from
    // the previous input is written, since writing is most of a run's time.
    void write(std::string_view tree) {
        std::map<std::filesystem::path, std::string> files;
        for (std::string_view line : Text::lines(tree)) {
            std::size_t colon = line.find(": ");
            if (colon == std::string_view::npos) continue;
            std::string_view folder = Text::trim(line.substr(0, colon));
            if (!safe(folder, true)) continue;
            for (std::string_view file : Text::split(line.substr(colon + 2), '|')) {
                file = Text::trim(file);
                std::size_t equals = file.find('=');
                if (equals == std::string_view::npos || !safe(file.substr(0, equals), false)) continue;
                if (files.size() == maxFiles) break;
                files[m_root / "class" / folder / file.substr(0, equals)] =
                    std::string(file.substr(equals + 1)) + "\n";
            }
        }
        // A name cannot be a file and a folder at once; the folder wins.
        std::set<std::filesystem::path> folders;
        for (const auto& [path, content] : files)
            for (auto folder = path.parent_path(); folder != m_root; folder = folder.parent_path())
                folders.insert(folder);
        std::erase_if(files, [&](const auto& file) { return folders.contains(file.first); });

        std::error_code ignored;
        for (const auto& [path, content] : m_files)
            if (!files.contains(path)) std::filesystem::remove(path, ignored);
        // Folders left empty go too, deepest first, so that the tree is the input's alone.
        for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
            std::filesystem::remove(*folder, ignored);  // fails, as it should, while it holds files
        for (const auto& [path, content] : files) {
            auto previous = m_files.find(path);
            if (previous != m_files.end() && previous->second == content) continue;
            std::filesystem::create_directories(path.parent_path(), ignored);
            std::ofstream(path, std::ios::binary) << content;
        }
        m_files = std::move(files);
        m_folders = std::move(folders);
    }

    static constexpr std::size_t maxFiles = 48;

private:
    static std::filesystem::path shm() {
        std::error_code error;
        return std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm"
                                                                : std::filesystem::temp_directory_path();
    }
    static bool safe(std::string_view path, bool folders) {
        if (path.empty() || path.size() > 64) return false;
        for (std::string_view part : Text::fields(path, '/')) {
            if (part.empty() || part == "." || part == ".." || (!folders && part != path)) return false;
            for (char c : part)
                if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':' ||
                      c == '.'))
                    return false;
        }
        return true;
    }

    std::filesystem::path m_root;
    std::map<std::filesystem::path, std::string> m_files;  // what the tree holds now
    std::set<std::filesystem::path> m_folders;             // below the root, sorted parents first
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tree tree;
    tree.write(fuzz::text(data, size));
    std::string root = tree.root();
    (void)SystemSensors::batteryAndPower(root, size % 2 ? std::nullopt : std::optional<double>(15'000.0));
    (void)SystemSensors::packageEnergy(root);
    (void)SystemSensors::thermal(root);
    (void)SystemSensors::gpuUtilization(root);
    auto readings = ChipTemperature::readings(root);
    fuzz::require(readings.size() <= Tree::maxFiles);  // a file each at the least
    return 0;
}
