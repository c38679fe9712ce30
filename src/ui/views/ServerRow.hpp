#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "core/servers/ServerGroup.hpp"

class QLabel;
class QMenu;
class QStackedWidget;

namespace tarvik::ui {

class CapsuleButton;
class ElidedLabel;
class ServerDetailView;
class ServerStore;
class SymbolButton;

// One row of the active list: a process and kind with every port it opened. Under the mouse, or
// with the keyboard's focus in it, its figures give way to its buttons; a click, Enter or Space
// opens the detail block beneath it. The row lives as long as its server and keeps what the user
// did with it across refreshes.
class ServerRow : public QWidget {
    Q_OBJECT

public:
    ServerRow(ServerStore& store, const MergedServer& row, QWidget* parent);

    // Shows the row's new figures, ports and badge in the widgets it has.
    void setRow(const MergedServer& row);
    // Brings the open detail block up to date with what the store knows beyond the row.
    void refreshDetail();

    [[nodiscard]] bool isAsking() const { return m_asking; }
    [[nodiscard]] bool isExpanded() const { return m_detail != nullptr; }
    void ask();
    void cancel();
    void setExpanded(bool expanded);
    // Back to how a row first shows: closed, asking nothing, no check mark.
    void reset();
    // With a hairline above it, between it and the row before.
    void setSeparated(bool separated);

    // Shows the buttons only while the pointer is over the row, for when the row or what holds it
    // moved without the pointer moving, which brings no enter or leave event.
    void followPointer();

    // Run when the row opens a question or its detail, so that others close theirs.
    std::function<void(ServerRow*)> onAsk;
    std::function<void(ServerRow*)> onExpand;
    // Run for the Up (-1) and Down (+1) keys, to move the focus to the row before or after.
    std::function<void(ServerRow*, int)> onStep;

    // The row's context menu, owned by `parent`; its actions outlive the row.
    [[nodiscard]] QMenu* makeMenu(QWidget* parent) const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QWidget* makeLine();
    QWidget* makeFigures();
    QWidget* makeButtons();
    QWidget* makeQuestion();
    void drawIcon();
    void showCopied(bool copied);
    void setHovered(bool hovered);
    // Figures, buttons or the question, for what the row is asked, pointed at and focused.
    void showTrailing();
    [[nodiscard]] bool holdsFocus() const;

    ServerStore& m_store;
    MergedServer m_row;
    Server m_server;
    std::string m_id;
    bool m_asking = false;
    bool m_force = false;  // the question forces: the process outlived a stop already
    bool m_separated = false;
    bool m_hovered = false;
    QStackedWidget* m_trailing = nullptr;
    QLabel* m_icon = nullptr;
    ElidedLabel* m_name = nullptr;
    ElidedLabel* m_ports = nullptr;
    QLabel* m_badge = nullptr;
    ElidedLabel* m_directory = nullptr;
    QLabel* m_memory = nullptr;
    QLabel* m_uptime = nullptr;
    SymbolButton* m_open = nullptr;
    SymbolButton* m_copy = nullptr;
    SymbolButton* m_stop = nullptr;
    SymbolButton* m_expand = nullptr;
    CapsuleButton* m_confirm = nullptr;
    ServerDetailView* m_detail = nullptr;
    int m_copies = 0;  // which copy the check mark is for, so an earlier one's timer leaves it
};

}  // namespace tarvik::ui
