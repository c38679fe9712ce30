#pragma once

#include <QWidget>
#include <string_view>

#include "core/servers/ServerGroup.hpp"

class QGridLayout;

namespace tarvik::ui {

class PanelState;
class ServerStore;

// Everything known about one server, opened beneath its row: where and what it is, its figures,
// who can reach it, how it answered, and the actions on it.
class ServerDetailView : public QWidget {
public:
    // Shows the row's primary server, and every socket of the row.
    ServerDetailView(ServerStore& store, PanelState& state, const MergedServer& row, QWidget* parent);

private:
    void addLine(QGridLayout* grid, std::string_view symbol, const QColor& symbolColour, QWidget* content);
    QWidget* makeFigures(bool dark);
    QWidget* makeButtons();

    ServerStore& m_store;
    PanelState& m_state;
    Server m_server;
    MergedServer m_row;
};

}  // namespace tarvik::ui
