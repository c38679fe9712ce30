#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
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
    // over, and so is every line past the first few, to keep an input quick.
    void write(std::string_view tree) {
        std::error_code ignored;
        std::filesystem::remove_all(m_root / "class", ignored);
        int files = 0;
        for (std::string_view line : Text::lines(tree)) {
            std::size_t colon = line.find(": ");
            if (colon == std::string_view::npos) continue;
            std::string_view folder = Text::trim(line.substr(0, colon));
            if (!safe(folder, true)) continue;
            auto directory = m_root / "class" / folder;
            std::filesystem::create_directories(directory, ignored);
            for (std::string_view file : Text::split(line.substr(colon + 2), '|')) {
                if (++files > 48) return;
                file = Text::trim(file);
                std::size_t equals = file.find('=');
                if (equals == std::string_view::npos || !safe(file.substr(0, equals), false)) continue;
                std::ofstream(directory / file.substr(0, equals), std::ios::binary)
                    << file.substr(equals + 1) << '\n';
            }
        }
    }

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
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tree tree;
    tree.write(fuzz::text(data, size));
    std::string root = tree.root();
    (void)SystemSensors::batteryAndPower(root, std::nullopt);
    (void)SystemSensors::batteryAndPower(root, 15'000.0);
    (void)SystemSensors::packageEnergy(root);
    (void)SystemSensors::thermal(root);
    (void)SystemSensors::gpuUtilization(root);
    auto readings = ChipTemperature::readings(root);
    fuzz::require(readings.size() <= 48);  // one file each at the least
    (void)ChipTemperature::current(root);
    return 0;
}
