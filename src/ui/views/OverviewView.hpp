#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "core/analysis/Insights.hpp"
#include "core/servers/DevFootprint.hpp"

class QVBoxLayout;

namespace tarvik::ui {

class PanelState;
class ServerStore;

// The overview tab: what needs attention, the idle servers with a way to stop them, how much
// memory development takes and for which project, and the way into the window.
class OverviewView : public QWidget {
public:
    // `openWindow` runs when the user asks for the full window.
    OverviewView(ServerStore& store, PanelState& state, std::function<void()> openWindow, QWidget* parent);
    // Makes the tab again when what it shows changed.
    void rebuild();

private:
    struct Shown {
        std::vector<AttentionLine> attention;
        std::optional<std::uint64_t> dockerVMLimit;
        std::optional<IdleSummary> idle;
        DevFootprint footprint;
        std::vector<ProjectUsage> projects;
        bool askingIdle = false;
        bool choosingShare = false;
        bool dark = false;
        bool operator==(const Shown&) const = default;
    };

    void addAttention(const std::vector<AttentionLine>& lines, bool dark);
    QWidget* makeIdleBanner(const IdleSummary& summary, bool dark);
    QWidget* makeFootprint(const DevFootprint& footprint, bool dark);
    QWidget* makeProjects(const std::vector<ProjectUsage>& projects, bool dark);
    QWidget* makeWindowRow(bool dark);

    ServerStore& m_store;
    PanelState& m_state;
    std::function<void()> m_openWindow;
    QVBoxLayout* m_layout;
    std::optional<Shown> m_shown;
};

}  // namespace tarvik::ui
