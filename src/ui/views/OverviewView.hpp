#pragma once

#include <QWidget>
#include <functional>

class QVBoxLayout;

namespace tarvik {
struct DevFootprint;
struct IdleSummary;
}  // namespace tarvik

namespace tarvik::ui {

class PanelState;
class ServerStore;

// The overview tab: what needs attention, the idle servers with a way to stop them, how much
// memory development takes and for which project, and the way into the window.
class OverviewView : public QWidget {
public:
    // `openWindow` runs when the user asks for the full window.
    OverviewView(ServerStore& store, PanelState& state, std::function<void()> openWindow, QWidget* parent);
    void rebuild();

private:
    void addAttention(bool dark);
    QWidget* makeIdleBanner(const IdleSummary& summary, bool dark);
    QWidget* makeFootprint(const DevFootprint& footprint, bool dark);
    QWidget* makeProjects(bool dark);
    QWidget* makeWindowRow(bool dark);

    ServerStore& m_store;
    PanelState& m_state;
    std::function<void()> m_openWindow;
    QVBoxLayout* m_layout;
};

}  // namespace tarvik::ui
