#pragma once

#include <QWidget>

#include "core/servers/ServerGroup.hpp"

class QVBoxLayout;

namespace tarvik::ui {

class PanelState;
class ServerStore;

// The active tab: the store's groups, each under its header with a stop for the whole group, and
// one row per process and kind.
class ServerListView : public QWidget {
public:
    ServerListView(ServerStore& store, PanelState& state, QWidget* parent);
    void rebuild();

private:
    QWidget* makeHeader(const ServerGroup& group, bool dark);

    ServerStore& m_store;
    PanelState& m_state;
    QVBoxLayout* m_layout;
};

}  // namespace tarvik::ui
