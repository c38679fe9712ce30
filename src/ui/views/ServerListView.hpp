#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "core/servers/ServerGroup.hpp"
#include "ui/views/ServerListModel.hpp"

class QVBoxLayout;

namespace tarvik::ui {

class Card;
class PanelState;
class ServerRow;
class ServerStore;

// The active tab: the store's groups, each under its header with a stop for the whole group, and
// one row per process and kind. Rows follow the model: a refresh adds, removes, moves and updates
// them and leaves the rest, with what the user opened on them, as they are.
class ServerListView : public QWidget {
    Q_OBJECT

public:
    ServerListView(ServerStore& store, PanelState& state, QWidget* parent);
    // Applies the store's groups to the model, and so to the rows.
    void refresh();
    // Closes every row's question and detail.
    void reset();
    // Drops every row and group, for a panel closed a while: a row is tens of kilobytes of widgets.
    // The next refresh makes them again.
    void release();
    // Closes the row's question that is open, if one is; true when one was.
    bool cancelQuestion();

protected:
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Group {
        QWidget* header = nullptr;
        Card* card = nullptr;
        std::string shown;  // what the header shows, to make it again only when that changes
    };

    void showGroups(const std::vector<ServerGroup>& groups);
    void addRows(int first, int last);
    void removeRows(int first, int last);
    void updateRows(int first, int last);
    Group& group(const std::string& title);
    void arrange();
    void fillHeader(Group& box, const ServerGroup& group);
    void closeOthers(ServerRow* row, bool questions);
    void step(ServerRow* from, int by);
    void followPointer(const QWidget* within);

    ServerStore& m_store;
    PanelState& m_state;
    ServerListModel m_model;
    QVBoxLayout* m_layout;
    QWidget* m_empty = nullptr;
    std::map<std::string, ServerRow*> m_rows;
    std::map<std::string, Group> m_groups;
    bool m_arranged = false;
};

}  // namespace tarvik::ui
