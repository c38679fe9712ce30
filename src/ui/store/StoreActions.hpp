#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/servers/StopAction.hpp"
#include "core/servers/StopReport.hpp"
#include "ui/Services.hpp"

namespace tarvik::ui {

class StoreContext;

// What the user asks of a server, an app or the desktop, the follow-up refresh that tells whether
// it worked, and the toast that says what happened.
class StoreActions {
    Q_DECLARE_TR_FUNCTIONS(StoreActions)

public:
    static constexpr double toastSeconds = 4;
    static constexpr double followUpSeconds = 1.5;
    static constexpr double quitFollowUpSeconds = 2;
    static constexpr int groupStopWaits = 8;

    explicit StoreActions(StoreContext& context);

    [[nodiscard]] const std::optional<std::string>& toast() const { return m_toast; }
    [[nodiscard]] const std::set<std::int32_t>& stubbornPids() const { return m_stubbornPids; }
    [[nodiscard]] const std::set<std::string>& restartingIDs() const { return m_restartingIDs; }

    void announce(const std::string& text);
    // Updates come with the system's packages and no feed exists to ask, so a check says which
    // version is installed and where its updates come from.
    void checkForUpdates();
    void open(const Server& server);
    void copyURL(const Server& server);
    void copyText(const std::string& text);
    // The share card as a PNG: saved into the Downloads folder, or put on the clipboard. An empty
    // image (a failed render) or a missing Downloads folder does nothing.
    void saveImage(const QByteArray& png);
    void copyImage(const QByteArray& png);
    // "Tarvik " and the local date and time with "." for ":", then ".png".
    [[nodiscard]] static std::string shareImageName(Date now);
    void revealDirectory(const Server& server);
    void reveal(const std::string& path);
    void openTrash();
    void openBatterySettings();
    // Stops and quits read the process table or ask the desktop off this thread; what they change
    // here (stubborn pids, toasts, the follow-up refresh) comes once that is back.
    void kill(const Server& server, bool force);
    void stop(const std::vector<Server>& servers, const std::string& name);
    void tidyUp(const std::vector<Server>& servers);
    void restart(const RecentStops::Entry& entry);
    void quit(const AppUsage& app);
    void forceQuit(const AppUsage& app);
    // A process or listener may be signalled when this user owns it and no rule protects it.
    [[nodiscard]] bool canEnd(const ProcessRecord& process) const;
    [[nodiscard]] bool canStop(const Server& server) const;
    bool end(const ProcessRecord& process, bool force);
    // The login name of the user other than this one and root who owns the process; nullopt for
    // this user's, the system's (root's) and an unreadable one.
    [[nodiscard]] std::optional<std::string> otherUser(std::int32_t pid) const;

    // Names the fixed processes that no action signals.
    [[nodiscard]] static bool isProtected(std::string_view processName);
    // A pid no longer listed is no longer stubborn.
    void forgetStubborn(const std::set<std::int32_t>& listed);

private:
    // Looks again after a group stop, up to `groupStopWaits` times while its processes are listed.
    void groupStopCheck(std::vector<Server> servers, std::vector<ProcessRow> signalled,
                        std::vector<Server> before, std::string name, int wait);
    // What a stop of `chosen` ended, the current servers against `before`, told to `then`; the
    // process table it needs is read off this thread.
    void assessStop(std::vector<Server> chosen, std::vector<ProcessRow> signalled, std::vector<Server> before,
                    std::function<void(StopReport::Outcome)> then);
    // After a kill's follow-up: the server is stubborn when it outlived its stop, else the toast
    // says what ended.
    void settleKill(const Server& server, const StopReport::Outcome& outcome);
    // The toast that says it; `name` empty names the first ended server's kind.
    void announceStop(const StopReport::Outcome& outcome, const std::string& name);
    bool signalAllowed(std::int32_t pid, std::string_view name) const;
    bool ownsSignallable(std::int32_t pid, std::string_view name) const;
    // The servers as the last refresh saw them.
    [[nodiscard]] const std::vector<Server>& current() const;

    StoreContext& m_context;
    std::optional<std::string> m_toast;
    std::optional<Scheduler::Handle> m_toastTask;
    std::set<std::int32_t> m_stubbornPids;
    std::set<std::string> m_restartingIDs;
};

}  // namespace tarvik::ui
