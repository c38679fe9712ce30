#include "core/analysis/MetricHistory.hpp"

#include <algorithm>

namespace tarvik {

namespace {

// Compared as seconds elapsed rather than against a computed cutoff date, so that any window,
// however large, stays defined.
bool isOlder(Date entry, Date reference, double seconds) {
    return secondsBetween(entry, reference) > seconds;
}

template <typename Entry>
void appendAndPrune(std::vector<Entry>& entries, Entry entry, double window) {
    Date newest = entry.at;
    entries.push_back(std::move(entry));
    // Only a prefix: an older entry recorded late waits until it reaches the front.
    auto firstKept = std::find_if(entries.begin(), entries.end() - 1,
                                  [&](const Entry& e) { return !isOlder(e.at, newest, window); });
    entries.erase(entries.begin(), firstKept);
}

template <typename Series>
const auto* find(const Series& series, const std::string& key) {
    auto found = series.find(key);
    return found == series.end() ? nullptr : &found->second;
}

}  // namespace

std::string MetricHistory::key(std::int32_t pid) {
    return "pid:" + std::to_string(pid);
}

void MetricHistory::record(const std::string& key, const MetricSample& sample) {
    appendAndPrune(series[key], sample, window);
}

std::vector<MetricSample> MetricHistory::samples(const std::string& key) const {
    const auto* entries = find(series, key);
    return entries ? *entries : std::vector<MetricSample>{};
}

void MetricHistory::retain(const std::unordered_set<std::string>& keys) {
    std::erase_if(series, [&](const auto& entry) { return !keys.contains(entry.first); });
}

void ValueHistory::record(const std::string& key, double value, Date at) {
    appendAndPrune(series[key], Point{at, value}, window);
}

std::vector<double> ValueHistory::values(const std::string& key) const {
    std::vector<double> result;
    if (const auto* entries = find(series, key)) {
        result.reserve(entries->size());
        for (const Point& point : *entries) result.push_back(point.value);
    }
    return result;
}

std::vector<ValueHistory::Point> ValueHistory::points(const std::string& key, int limit) const {
    const auto* entries = find(series, key);
    if (!entries) return {};
    const std::size_t total = entries->size();
    if (limit < 1 || total <= static_cast<std::size_t>(limit)) return *entries;
    const auto buckets = static_cast<std::size_t>(limit);
    std::vector<Point> result;
    result.reserve(buckets);
    // Bucket bounds floor(total / buckets * i) in integers: in floating point the last bound can
    // fall just short of `total` and lose the newest point.
    for (std::size_t i = 0; i < buckets; ++i) {
        std::size_t begin = total * i / buckets;
        std::size_t end = total * (i + 1) / buckets;
        double sum = 0;
        for (std::size_t k = begin; k < end; ++k) sum += (*entries)[k].value;
        result.push_back({(*entries)[end - 1].at, sum / static_cast<double>(end - begin)});
    }
    return result;
}

std::optional<double> ValueHistory::average(const std::string& key, double over, Date now) const {
    int n = count(key, over, now);
    if (n == 0) return std::nullopt;
    return sum(key, over, now) / n;
}

double ValueHistory::sum(const std::string& key, double over, Date now) const {
    double total = 0;
    if (const auto* entries = find(series, key)) {
        for (const Point& point : *entries)
            if (!isOlder(point.at, now, over)) total += point.value;
    }
    return total;
}

int ValueHistory::count(const std::string& key, double over, Date now) const {
    const auto* entries = find(series, key);
    if (!entries) return 0;
    return static_cast<int>(std::count_if(entries->begin(), entries->end(),
                                          [&](const Point& point) { return !isOlder(point.at, now, over); }));
}

void ValueHistory::trim(Date now) {
    for (auto& [name, entries] : series)
        std::erase_if(entries, [&](const Point& point) { return isOlder(point.at, now, window); });
    std::erase_if(series, [](const auto& entry) { return entry.second.empty(); });
}

}  // namespace tarvik
