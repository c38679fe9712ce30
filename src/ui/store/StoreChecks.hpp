#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/machine/NetworkUsage.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/storage/StorageActions.hpp"
#include "core/storage/StorageScanner.hpp"
#include "core/support/Date.hpp"

namespace tarvik::ui {

class StoreContext;

// One row of the network check: an app's traffic, or a process no app lists.
struct AppTraffic {
    std::optional<AppUsage> app;
    std::string name;
    double bytesIn = 0;
    double bytesOut = 0;
    bool operator==(const AppTraffic&) const = default;

    // Each process's traffic summed into the app listing its pid; heaviest first, ties in order.
    [[nodiscard]] static std::vector<AppTraffic> group(const std::vector<ProcessTraffic>& traffic,
                                                       const std::vector<AppUsage>& apps);
};

// The checks the user starts: what takes space on the disk and what clears it, and which apps use
// the network.
class StoreChecks {
    Q_DECLARE_TR_FUNCTIONS(StoreChecks)

public:
    static constexpr double storageMaxAge = 300;

    explicit StoreChecks(StoreContext& context);

    [[nodiscard]] const std::optional<std::vector<StorageItem>>& largeFiles() const { return m_largeFiles; }
    // False when the last search for large files stopped before it looked everywhere.
    [[nodiscard]] bool largeFilesComplete() const { return m_largeFilesComplete; }
    [[nodiscard]] const std::optional<std::vector<StorageItem>>& clearable() const { return m_clearable; }
    [[nodiscard]] std::optional<Date> storageMeasuredAt() const { return m_storageMeasuredAt; }
    [[nodiscard]] const std::set<std::string>& storageBusy() const { return m_storageBusy; }
    [[nodiscard]] const std::optional<std::vector<AppTraffic>>& networkApps() const { return m_networkApps; }
    [[nodiscard]] std::optional<Date> networkCheckedAt() const { return m_networkCheckedAt; }
    [[nodiscard]] bool checkingNetwork() const { return m_checkingNetwork; }
    [[nodiscard]] bool dockerAvailable() const;

    // Measures again when forced or when the last measure is older than `storageMaxAge`.
    void scanStorage(bool force);
    void clear(const StorageItem& item);
    void moveToTrash(const StorageItem& item);
    void cleanUpDocker(const StorageItem& item);
    void checkNetworkApps();

private:
    [[nodiscard]] StorageReport shownStorage() const;
    void setBusy(const std::string& path, bool busy);

    StoreContext& m_context;
    std::optional<std::vector<StorageItem>> m_largeFiles;
    bool m_largeFilesComplete = true;
    std::optional<std::vector<StorageItem>> m_clearable;
    std::optional<Date> m_storageMeasuredAt;
    std::set<std::string> m_storageBusy;
    std::optional<std::vector<AppTraffic>> m_networkApps;
    std::optional<Date> m_networkCheckedAt;
    bool m_checkingNetwork = false;
};

}  // namespace tarvik::ui
