#include "ui/store/StoreActions.hpp"

#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <csignal>
#include <unordered_set>

#include "core/analysis/AppExplainer.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ShownText.hpp"
#include "ui/store/RefreshCycle.hpp"
#include "ui/store/StoreContext.hpp"

namespace tarvik::ui {

namespace {

bool isContainer(const Server& server) {
    return server.containerName.has_value();
}

}  // namespace

StoreActions::StoreActions(StoreContext& context) : m_context(context) {}

const std::vector<Server>& StoreActions::current() const {
    return m_context.cycle->servers();
}

void StoreActions::forgetStubborn(const std::set<std::int32_t>& listed) {
    std::erase_if(m_stubbornPids, [&](std::int32_t pid) { return !listed.contains(pid); });
}

void StoreActions::openTrash() {
    m_context.services.desktop->openTrash();
}

void StoreActions::openBatterySettings() {
    m_context.services.desktop->openSettings(SettingsPanel::battery);
}

void StoreActions::checkForUpdates() {
    announce(tr("Tarvik %1 is installed. Updates come with your system's packages.")
                 .arg(QString::fromStdString(m_context.services.version))
                 .toStdString());
}

void StoreActions::announce(const std::string& text) {
    m_toast = text;
    if (m_toastTask) m_context.services.scheduler->cancel(*m_toastTask);
    m_toastTask = m_context.services.scheduler->after(milliseconds(toastSeconds), [this] {
        m_toastTask.reset();
        m_toast.reset();
        emit m_context.store.toastChanged();
    });
    emit m_context.store.toastChanged();
}

void StoreActions::open(const Server& server) {
    m_context.services.desktop->openUrl(server.url());
}

void StoreActions::copyURL(const Server& server) {
    m_context.services.desktop->copyText(server.url());
}

void StoreActions::copyText(const std::string& text) {
    m_context.services.desktop->copyText(text);
}

void StoreActions::saveImage(const QByteArray& png) {
    if (png.isEmpty()) return;
    const auto folder = m_context.services.desktop->downloadsFolder();
    if (!folder) return;
    // Two saves in one second keep both images.
    const std::string first = shareImageName(m_context.now());
    const std::string stem = first.substr(0, first.size() - std::string_view(".png").size());
    std::string name;
    QSaveFile file;
    for (int copy = 1; copy <= 99 && name.empty(); ++copy) {
        std::string candidate = stem + (copy == 1 ? "" : " " + std::to_string(copy)) + ".png";
        const QString path = QFile::decodeName(QByteArray::fromStdString(*folder + "/" + candidate));
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
            name = std::move(candidate);
            file.setFileName(path);
        }
    }
    if (name.empty() || !file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return;
    announce(tr("Saved %1 to Downloads.").arg(qs(name)).toStdString());
}

void StoreActions::copyImage(const QByteArray& png) {
    if (png.isEmpty() || !m_context.services.desktop->copyImage(png)) return;
    announce(tr("Image copied. Paste it into a post.").toStdString());
}

std::string StoreActions::shareImageName(Date now) {
    std::string stamp = isoLocalTime(now);
    std::replace(stamp.begin(), stamp.end(), ':', '.');
    return "Tarvik " + stamp + ".png";
}

void StoreActions::revealDirectory(const Server& server) {
    if (server.cwd) m_context.services.desktop->reveal(*server.cwd);
}

void StoreActions::reveal(const std::string& path) {
    m_context.services.desktop->reveal(path);
}

void StoreActions::kill(const Server& server, bool force) {
    auto* control = m_context.services.control.get();
    m_context.inBackground<std::vector<ProcessRow>>(
        [control, server, force] {
            // The processes the stop reaches, as they were before it, to tell afterwards what ended
            // with them.
            std::vector<ProcessRow> signalled;
            if (!isContainer(server)) signalled = StopReport::tree(server.pid, control->processTable());
            control->carryOut(StopActions::of(server, force));
            return signalled;
        },
        [this, server, before = current()](std::vector<ProcessRow> signalled) {
            m_context.refreshAfter(followUpSeconds, [this, server, signalled, before] {
                assessStop({server}, signalled, before,
                           [this, server](StopReport::Outcome outcome) { settleKill(server, outcome); });
            });
        });
}

void StoreActions::settleKill(const Server& server, const StopReport::Outcome& outcome) {
    const bool container = isContainer(server);
    bool found = std::any_of(outcome.running.begin(), outcome.running.end(), [&](const Server& other) {
        return container ? other.containerName == server.containerName : other.pid == server.pid;
    });
    if (found) {
        m_stubbornPids.insert(server.pid);
    } else {
        m_stubbornPids.erase(server.pid);
        announceStop(outcome, {});
    }
    m_context.markChanged();
}

void StoreActions::stop(const std::vector<Server>& servers, const std::string& name) {
    auto* control = m_context.services.control.get();
    m_context.inBackground<std::vector<ProcessRow>>(
        [control, servers] {
            const auto table = control->processTable();
            std::vector<ProcessRow> signalled;
            std::unordered_set<std::int32_t> seen;
            for (const auto& server : servers) {
                if (isContainer(server)) continue;
                for (auto& row : StopReport::tree(server.pid, table))
                    if (seen.insert(row.pid).second) signalled.push_back(std::move(row));
            }
            control->stopGroup(servers);
            return signalled;
        },
        [this, servers, name, before = current()](std::vector<ProcessRow> signalled) {
            groupStopCheck(servers, std::move(signalled), before, name, 1);
        });
}

void StoreActions::groupStopCheck(std::vector<Server> servers, std::vector<ProcessRow> signalled,
                                  std::vector<Server> before, std::string name, int wait) {
    m_context.refreshAfter(followUpSeconds, [=, this] {
        std::set<std::int32_t> survivors;
        bool containerLeft = false;
        for (const auto& server : current()) {
            for (const auto& stopped : servers) {
                if (!isContainer(stopped) && server.pid == stopped.pid) survivors.insert(server.pid);
                if (isContainer(stopped) && server.port == stopped.port &&
                    server.containerName == stopped.containerName)
                    containerLeft = true;
            }
        }
        if (survivors.empty() && !containerLeft) {
            assessStop(servers, signalled, before,
                       [this, name](StopReport::Outcome outcome) { announceStop(outcome, name); });
            return;
        }
        if (wait < groupStopWaits) {
            groupStopCheck(servers, signalled, before, name, wait + 1);
            return;
        }
        m_stubbornPids.insert(survivors.begin(), survivors.end());
        m_context.markChanged();
    });
}

void StoreActions::assessStop(std::vector<Server> chosen, std::vector<ProcessRow> signalled,
                              std::vector<Server> before, std::function<void(StopReport::Outcome)> then) {
    auto* control = m_context.services.control.get();
    m_context.inBackground<StopReport::Outcome>(
        [control, chosen = std::move(chosen), signalled = std::move(signalled), before = std::move(before),
         after = current()] {
            return StopReport::assess(chosen, signalled, before, after, control->processTable(),
                                      [control](std::int32_t pid) { return control->processName(pid); });
        },
        std::move(then));
}

void StoreActions::announceStop(const StopReport::Outcome& outcome, const std::string& name) {
    std::string text;
    for (const auto& sentence : StopReport::sentences(outcome, name))
        text += (text.empty() ? "" : " ") + sentence;
    if (!text.empty()) announce(text);
}

void StoreActions::tidyUp(const std::vector<Server>& servers) {
    m_context.services.control->tidyUp(servers);
    m_context.refreshAfter(followUpSeconds);
}

void StoreActions::restart(const RecentStops::Entry& entry) {
    const Server& server = entry.server;
    if (!isContainer(server) && (!RecentStops::isRestartable(server) || !server.args || !server.cwd)) return;
    const auto id = server.id();
    m_restartingIDs.insert(id);
    m_context.markChanged();
    auto* control = m_context.services.control.get();
    m_context.inBackground<bool>([control, server] { return control->restart(server); },
                                 [this, id](bool) {
                                     // A failed launch shows as the server not coming back.
                                     m_context.refreshAfter(followUpSeconds, [this, id] {
                                         m_restartingIDs.erase(id);
                                         m_context.markChanged();
                                     });
                                 });
}

bool StoreActions::isProtected(std::string_view processName) {
    static constexpr std::array<std::string_view, 11> names = {
        "loginwindow", "launchd",  "kernel_task", "WindowServer", "systemd", "init",
        "Xorg",        "Xwayland", "gnome-shell", "kwin_wayland", "kwin_x11"};
    return std::find(names.begin(), names.end(), processName) != names.end();
}

bool StoreActions::signalAllowed(std::int32_t pid, std::string_view name) const {
    return pid >= 2 && pid != m_context.services.ownPid && !isProtected(name);
}

void StoreActions::quit(const AppUsage& app) {
    if (!AppExplainer::explain(app).canQuit) return;
    std::vector<std::int32_t> pids;
    for (const auto& process : app.processes)
        if (signalAllowed(process.pid, process.name())) pids.push_back(process.pid);
    auto* desktop = m_context.services.desktop.get();
    auto* control = m_context.services.control.get();
    m_context.inBackground<bool>(
        [desktop, control, app, pids] {
            if (app.bundlePath && desktop->askToQuit(app)) return true;
            for (auto pid : pids) control->signal(pid, SIGTERM);
            return false;
        },
        [this, name = app.name](bool) {
            announce(tr("Asked %1 to quit.").arg(qs(name)).toStdString());
            m_context.refreshAfter(quitFollowUpSeconds);
        });
}

void StoreActions::forceQuit(const AppUsage& app) {
    if (!AppExplainer::explain(app).canQuit) return;
    for (const auto& process : app.processes)
        if (signalAllowed(process.pid, process.name()))
            m_context.services.control->signal(process.pid, SIGKILL);
    announce(tr("Force quit %1.").arg(qs(app.name)).toStdString());
    m_context.refreshAfter(followUpSeconds);
}

bool StoreActions::ownsSignallable(std::int32_t pid, std::string_view name) const {
    if (!signalAllowed(pid, name)) return false;
    auto uid = m_context.services.control->ownerUid(pid);
    return uid && *uid == m_context.services.ownUid;
}

bool StoreActions::canEnd(const ProcessRecord& process) const {
    return ownsSignallable(process.pid, process.name());
}

bool StoreActions::canStop(const Server& server) const {
    return ownsSignallable(server.pid, server.processName);
}

std::optional<std::string> StoreActions::otherUser(std::int32_t pid) const {
    auto uid = m_context.services.control->ownerUid(pid);
    if (!uid || *uid == 0 || *uid == m_context.services.ownUid) return std::nullopt;
    return m_context.services.control->userName(*uid);
}

bool StoreActions::end(const ProcessRecord& process, bool force) {
    if (!canEnd(process) || !m_context.services.control->signal(process.pid, force ? SIGKILL : SIGTERM))
        return false;
    const auto name = qs(process.name());
    announce((force ? tr("Force quit %1.") : tr("Asked %1 to quit.")).arg(name).toStdString());
    m_context.refreshAfter(followUpSeconds);
    return true;
}

}  // namespace tarvik::ui
