#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/analysis/Insights.hpp"
#include "core/servers/DevFootprint.hpp"

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace tarvik::ui {

class ElidedLabel;
class PanelState;
class ServerStore;

// The overview tab: what needs attention, the idle servers with a way to stop them, how much
// memory development takes and for which project, and the way into the window.
class OverviewView : public QWidget {
    Q_OBJECT

public:
    // `openWindow` runs when the user asks for the full window.
    OverviewView(ServerStore& store, PanelState& state, std::function<void()> openWindow, QWidget* parent);
    // Makes again the parts of the tab whose content changed and updates the figures of the rest.
    void rebuild();

private:
    // What each part shows, to make it again only when that changed.
    struct Shown {
        std::optional<std::vector<AttentionLine>> attention;
        std::optional<std::optional<std::uint64_t>> docker;
        std::optional<std::pair<std::string, bool>> idle;
        std::optional<bool> share;
        std::optional<DevFootprint> footprint;
        std::optional<std::vector<ProjectUsage>> projects;
        std::optional<bool> window;
    };

    QWidget* makeAttention(const std::vector<AttentionLine>& lines);
    void updateIdleBanner(const std::optional<IdleSummary>& summary);
    void updateFootprint(const DevFootprint& footprint);
    QHBoxLayout* makeShareChoices(QWidget* card);
    QWidget* makeProjects(const std::vector<ProjectUsage>& projects);
    QWidget* makeWindowRow();

    ServerStore& m_store;
    PanelState& m_state;
    std::function<void()> m_openWindow;
    QVBoxLayout* m_layout;
    Shown m_shown;
    QWidget* m_attention = nullptr;
    QWidget* m_docker = nullptr;
    QWidget* m_idle = nullptr;
    QWidget* m_footprint = nullptr;
    QWidget* m_projects = nullptr;
    QWidget* m_window = nullptr;
    ElidedLabel* m_idleTitle = nullptr;
    QLabel* m_idleSentence = nullptr;
    QLabel* m_total = nullptr;
    QWidget* m_figures = nullptr;
};

}  // namespace tarvik::ui
