// The disk page's two scans over a generated home of 100 000 files: half of them in the table's
// caches (measured by one du run), half in projects (walked for large files).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/storage/StorageScanner.hpp"

namespace {

using namespace tarvik;
namespace fs = std::filesystem;

constexpr int fileCount = 100'000;
constexpr int perFolder = 500;
constexpr int largeCount = 20;
constexpr std::uint64_t largeMinimum = 512 * 1024;

void writeFile(const fs::path& path, std::size_t bytes) {
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) return;
    std::string content(bytes, 'x');
    (void)!write(descriptor, content.data(), content.size());
    close(descriptor);
}

// Built on first use and removed when the program ends, so every benchmark sees the same tree.
class GeneratedHome {
public:
    GeneratedHome() {
        std::string pattern = (fs::temp_directory_path() / "tarvik-storage-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        m_path = pattern;
        const char* caches[] = {".npm/_cacache",  ".cache/yarn",     ".cache/pip",     ".cargo/registry",
                                ".gradle/caches", ".cache/go-build", ".m2/repository", ".cache/huggingface"};
        for (int file = 0; file < fileCount; ++file) {
            int folder = file / perFolder;
            fs::path parent = file < fileCount / 2
                                  ? m_path / caches[folder % std::size(caches)] / std::to_string(folder)
                                  : m_path / "projects" / std::to_string(folder) / "src";
            if (file % perFolder == 0) fs::create_directories(parent);
            bool large = file >= fileCount / 2 && file % ((fileCount / 2) / largeCount) == 0;
            writeFile(parent / ("f" + std::to_string(file)), large ? 2 * largeMinimum : 64);
        }
    }
    ~GeneratedHome() {
        std::error_code ignored;
        if (!m_path.empty()) fs::remove_all(m_path, ignored);
    }
    GeneratedHome(const GeneratedHome&) = delete;
    GeneratedHome& operator=(const GeneratedHome&) = delete;

    [[nodiscard]] std::string path() const { return m_path.string(); }

private:
    fs::path m_path;
};

const GeneratedHome& home() {
    static GeneratedHome generated;
    return generated;
}

void BM_Clearable(benchmark::State& state) {
    auto path = home().path();
    std::size_t items = 0;
    for (auto _ : state) {
        auto found = StorageScanner::clearable(path, 0);
        items = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["caches"] = static_cast<double>(items);
}
BENCHMARK(BM_Clearable)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LargeFiles(benchmark::State& state) {
    auto path = home().path();
    std::size_t items = 0;
    for (auto _ : state) {
        auto found = StorageScanner::largeFiles(path, largeMinimum, 15);
        items = found.files.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["files"] = static_cast<double>(items);
}
BENCHMARK(BM_LargeFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
