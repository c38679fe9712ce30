#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/machine/NetworkUsage.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/processes/ProcessTree.hpp"
#include "core/servers/Probe.hpp"
#include "core/servers/Server.hpp"
#include "core/servers/StopAction.hpp"
#include "core/storage/StorageActions.hpp"
#include "core/storage/StorageScanner.hpp"
#include "core/support/Date.hpp"

// Everything the store does outside its own memory goes through one of these, so that a test can
// stand in for the machine, the desktop and time itself. The real ones live in ui/linux. A call
// marked blocking may wait on the disk, on other processes or on a scan of every process; the store
// makes those through `Background`, never on its own thread. The others are answered at once.
namespace tarvik::ui {

class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual Date now() const = 0;
};

// Runs callbacks later on the store's thread.
class Scheduler {
public:
    using Handle = std::uint64_t;
    virtual ~Scheduler() = default;
    virtual Handle after(std::chrono::milliseconds delay, std::function<void()> work) = 0;
    // A handle that already ran, or was never given, is ignored.
    virtual void cancel(Handle handle) = 0;
};

// Runs blocking work off the store's thread, then `then` back on it. `then` never runs once the
// runner is gone.
class Background {
public:
    virtual ~Background() = default;
    virtual void run(std::function<void()> work, std::function<void()> then) = 0;
};

// What one refresh learns from the machine.
struct SamplingResult {
    std::vector<Server> servers;
    SystemVitals vitals;
    MemoryUsage memory;
    MemoryPressure pressure = MemoryPressure::normal;
    std::optional<std::uint64_t> dockerVMLimit;
};

// One process snapshot, the servers scanned against it and the machine sampled with it. Blocking;
// called off the store's thread, sometimes from two refreshes at once.
class SamplingStep {
public:
    virtual ~SamplingStep() = default;
    virtual SamplingResult sample() = 0;
    // A value that changes whenever a TCP listener comes or goes, for a small part of a sample's
    // cost; nullopt where there is nothing cheaper than a sample. Blocking, like a sample.
    virtual std::optional<std::uint64_t> listenersFingerprint() { return std::nullopt; }
};

// One HTTP probe of a local port. Blocking; called off the store's thread, several at once.
class Prober {
public:
    virtual ~Prober() = default;
    virtual HTTPProbe::Outcome probe(int port, double timeout) = 0;
};

// Signals and container commands. Every pid below 2 or of this process is refused. Called from the
// store's thread and from its background work, sometimes at once.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // A signal with the follow-up on the process's children, or a container command. Blocking (it
    // reads the process table); the follow-up and the command itself run later, on threads the
    // control keeps for them.
    virtual bool carryOut(const StopAction& action) = 0;
    // The same for every server of a group, the process table read once. Blocking.
    virtual void stopGroup(const std::vector<Server>& servers) = 0;
    // SIGTERM once per process, nothing more.
    virtual void tidyUp(const std::vector<Server>& servers) = 0;
    // Blocking (a container command or reading the login environment).
    virtual bool restart(const Server& server) = 0;
    // One signal to one process, nothing more.
    virtual bool signal(std::int32_t pid, int signal) = 0;
    // The real uid owning the process, from one /proc file the kernel answers from memory; nullopt
    // when it cannot be read.
    [[nodiscard]] virtual std::optional<std::uint32_t> ownerUid(std::int32_t pid) = 0;
    // The login name of a user id, else the id as a number. May ask the system's user database.
    [[nodiscard]] virtual std::string userName(std::uint32_t uid) = 0;
    // The first docker client found at a few fixed paths.
    [[nodiscard]] virtual std::optional<std::string> dockerPath() = 0;
    // Every visible process with its parent and start time, for telling what a stop reaches.
    // Blocking (it reads every process's /proc entry).
    [[nodiscard]] virtual std::vector<ProcessRow> processTable() = 0;
    // The process's name, from its /proc link; empty when it cannot be read.
    [[nodiscard]] virtual std::string processName(std::int32_t pid) = 0;
};

enum class Authorization { notDetermined, denied, authorized };

struct Notification {
    std::string title;
    std::string body;
    std::string identifier;
    bool sound = false;
    bool operator==(const Notification&) const = default;
};

// Called on the store's thread. Posting does not wait for the notification server.
class Notifier {
public:
    using Done = std::function<void(std::optional<std::string> error)>;
    virtual ~Notifier() = default;
    // Whether this session can show notifications at all; nothing is posted otherwise. Waits for one
    // answer of the session bus itself (not of another application), so the store asks only when it
    // has something to show.
    [[nodiscard]] virtual bool available() = 0;
    // As `available`, it waits for the session bus.
    [[nodiscard]] virtual Authorization authorization() = 0;
    virtual void requestAuthorization(
        std::function<void(bool granted, std::optional<std::string> error)> done) = 0;
    virtual void post(const Notification& notification, Done done) = 0;
    // Called on the store's thread with the identifier of a notification the user clicked.
    virtual void onClick(std::function<void(const std::string& identifier)> handler) = 0;
};

enum class SettingsPanel { notifications, battery };

// Called on the store's thread (the clipboard lives there), except `askToQuit`. What opens something
// starts the handler without waiting for it.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void openUrl(const std::string& url) = 0;
    // Selects the file or folder in the file manager, or opens its folder where none can select.
    virtual void reveal(const std::string& path) = 0;
    virtual void openFolder(const std::string& path) = 0;
    virtual void openTrash() = 0;
    virtual void copyText(const std::string& text) = 0;
    // Puts a PNG image on the clipboard; false when it is not one.
    virtual bool copyImage(const QByteArray& png) = 0;
    // The user's Downloads folder; nullopt when it does not exist.
    [[nodiscard]] virtual std::optional<std::string> downloadsFolder() = 0;
    // Nothing where the desktop has no such panel.
    virtual void openSettings(SettingsPanel panel) = 0;
    // Asks the application to close through the desktop session; false when it cannot be asked.
    // Blocking (it reads the application's desktop entry and asks the session bus whether the
    // application is there): called off the store's thread.
    virtual bool askToQuit(const AppUsage& app) = 0;
    // From the user database, which is a local file on most systems.
    [[nodiscard]] virtual std::string userFullName() = 0;
};

// Keys and values as they are stored; a missing key reads as an invalid QVariant. Read from memory;
// a change is written to one small file at once.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
};

// One small file in the user's configuration folder.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    [[nodiscard]] virtual bool isEnabled() = 0;
    // nullopt on success, else what went wrong.
    virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

// Blocking, every call; called off the store's thread.
class StorageService {
public:
    virtual ~StorageService() = default;
    virtual StorageScanner::LargeFileSearch largeFiles() = 0;
    virtual std::vector<StorageItem> clearable() = 0;
    // `report` holds the items the user was shown; only those are acted on.
    virtual StorageActions::Result clear(const StorageItem& item, const StorageReport& report) = 0;
    virtual StorageActions::Result moveToTrash(const StorageItem& item, const StorageReport& report) = 0;
    virtual StorageActions::Result cleanUpDocker(const std::string& docker) = 0;
};

// Blocking for about a second; called off the store's thread.
class NetworkService {
public:
    virtual ~NetworkService() = default;
    virtual std::vector<ProcessTraffic> sample() = 0;
};

// What a store is built with. Every member is required.
struct Services {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<Background> background;
    std::unique_ptr<SamplingStep> sampling;
    std::unique_ptr<Prober> prober;
    std::unique_ptr<ProcessControl> control;
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<StorageService> storage;
    std::unique_ptr<NetworkService> network;
    std::string version;  // of the running application
    std::int32_t ownPid = 0;
    std::uint32_t ownUid = 0;
};

}  // namespace tarvik::ui
