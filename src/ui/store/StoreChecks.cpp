#include "ui/store/StoreChecks.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/support/ByteFormat.hpp"
#include "ui/ShownText.hpp"
#include "ui/store/RefreshCycle.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreContext.hpp"

namespace tarvik::ui {

std::vector<AppTraffic> AppTraffic::group(const std::vector<ProcessTraffic>& traffic,
                                          const std::vector<AppUsage>& apps) {
    std::unordered_map<std::int32_t, std::size_t> appOfPid;
    for (std::size_t i = 0; i < apps.size(); ++i)
        for (auto pid : apps[i].pids) appOfPid.emplace(pid, i);
    std::vector<AppTraffic> rows;
    std::unordered_map<std::size_t, std::size_t> rowOfApp;
    for (const auto& process : traffic) {
        auto app = appOfPid.find(process.pid);
        if (app == appOfPid.end()) {
            rows.push_back({std::nullopt, process.name, double(process.bytesIn), double(process.bytesOut)});
            continue;
        }
        auto [row, added] = rowOfApp.emplace(app->second, rows.size());
        if (added) rows.push_back({apps[app->second], apps[app->second].name, 0, 0});
        rows[row->second].bytesIn += double(process.bytesIn);
        rows[row->second].bytesOut += double(process.bytesOut);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const AppTraffic& a, const AppTraffic& b) {
        return a.bytesIn + a.bytesOut > b.bytesIn + b.bytesOut;
    });
    return rows;
}

StoreChecks::StoreChecks(StoreContext& context) : m_context(context) {}

bool StoreChecks::dockerAvailable() const {
    return m_context.services.control->dockerPath().has_value();
}

StorageReport StoreChecks::shownStorage() const {
    StorageReport report;
    report.clearable = m_clearable.value_or(std::vector<StorageItem>{});
    report.largeFiles = m_largeFiles.value_or(std::vector<StorageItem>{});
    report.largeFilesComplete = m_largeFilesComplete;
    return report;
}

void StoreChecks::setBusy(const std::string& path, bool busy) {
    if (busy)
        m_storageBusy.insert(path);
    else
        m_storageBusy.erase(path);
    m_context.markChanged();
}

void StoreChecks::scanStorage(bool force) {
    const Date at = m_context.now();
    if (!force && m_storageMeasuredAt &&
        std::chrono::duration<double>(at - *m_storageMeasuredAt).count() < storageMaxAge)
        return;
    m_storageMeasuredAt = at;
    auto* storage = m_context.services.storage.get();
    m_context.inBackground<StorageScanner::LargeFileSearch>(
        [storage] { return storage->largeFiles(); },
        [this, storage](StorageScanner::LargeFileSearch files) {
            m_largeFiles = std::move(files.files);
            m_largeFilesComplete = files.complete;
            m_context.markChanged();
            m_context.inBackground<std::vector<StorageItem>>([storage] { return storage->clearable(); },
                                                             [this](std::vector<StorageItem> items) {
                                                                 m_clearable = std::move(items);
                                                                 m_storageMeasuredAt = m_context.now();
                                                                 m_context.markChanged();
                                                             });
        });
}

void StoreChecks::clear(const StorageItem& item) {
    setBusy(item.path, true);
    auto* storage = m_context.services.storage.get();
    m_context.inBackground<StorageActions::Result>(
        [storage, item, report = shownStorage()] { return storage->clear(item, report); },
        [this, item](StorageActions::Result result) {
            setBusy(item.path, false);
            if (result.ok) {
                if (m_clearable) std::erase(*m_clearable, item);
                m_context.actions->announce(
                    tr("Cleared %1, %2.")
                        .arg(qs(item.title),
                             QString::fromStdString(ByteFormat::storage(item.freeableBytes())))
                        .toStdString());
            } else {
                m_context.actions->announce(tr("Couldn't clear %1. Some files may be in use; try again after "
                                               "quitting the app that uses them.")
                                                .arg(qs(item.title))
                                                .toStdString());
            }
            m_context.cycle->refresh();
        });
}

void StoreChecks::moveToTrash(const StorageItem& item) {
    setBusy(item.path, true);
    auto* storage = m_context.services.storage.get();
    m_context.inBackground<StorageActions::Result>(
        [storage, item, report = shownStorage()] { return storage->moveToTrash(item, report); },
        [this, item](StorageActions::Result result) {
            setBusy(item.path, false);
            if (result.ok) {
                if (m_largeFiles) std::erase(*m_largeFiles, item);
                m_context.actions->announce(
                    tr("Moved %1 to the Trash. Empty the Trash to get the space back.")
                        .arg(qs(item.title))
                        .toStdString());
            } else {
                m_context.actions->announce(
                    tr("Couldn't move %1 to the Trash. Use Show in Files and drag it there.")
                        .arg(qs(item.title))
                        .toStdString());
            }
        });
}

void StoreChecks::cleanUpDocker(const StorageItem& item) {
    auto docker = m_context.services.control->dockerPath();
    if (!docker) return;
    setBusy(item.path, true);
    auto* storage = m_context.services.storage.get();
    m_context.inBackground<StorageActions::Result>(
        [storage, docker = *docker] { return storage->cleanUpDocker(docker); },
        [this, path = item.path](StorageActions::Result result) {
            setBusy(path, false);
            m_context.actions->announce(result.message);
            scanStorage(true);
        });
}

void StoreChecks::checkNetworkApps() {
    if (m_checkingNetwork) return;
    m_checkingNetwork = true;
    m_context.markChanged();
    auto* network = m_context.services.network.get();
    m_context.inBackground<std::vector<ProcessTraffic>>([network] { return network->sample(); },
                                                        [this](std::vector<ProcessTraffic> traffic) {
                                                            m_networkApps = AppTraffic::group(
                                                                traffic, m_context.cycle->vitals().apps);
                                                            m_networkCheckedAt = m_context.now();
                                                            m_checkingNetwork = false;
                                                            m_context.markChanged();
                                                        });
}

}  // namespace tarvik::ui
