#pragma once

#include <QWidget>
#include <vector>

#include "core/servers/ServerGroup.hpp"

class QMenu;
class QStackedWidget;

namespace tarvik::ui {

class PanelState;
class ServerStore;

// One row of the active list: a process and kind with every port it opened. Under the mouse its
// figures give way to its buttons; a click opens the detail block beneath it.
class ServerRow : public QWidget {
public:
    ServerRow(ServerStore& store, PanelState& state, const MergedServer& row, QWidget* parent);

    // The row's context menu, owned by `parent`; its actions outlive the row.
    [[nodiscard]] QMenu* makeMenu(QWidget* parent) const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QWidget* makeLine(const std::vector<int>& ports, bool dark);
    QWidget* makeFigures(bool dark);
    QWidget* makeButtons(bool dark);
    void setHovered(bool hovered);

    ServerStore& m_store;
    PanelState& m_state;
    Server m_server;
    std::string m_id;
    QStackedWidget* m_trailing = nullptr;
};

}  // namespace tarvik::ui
