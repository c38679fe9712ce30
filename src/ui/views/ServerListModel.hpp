#pragma once

#include <string>
#include <vector>

#include "core/servers/ServerGroup.hpp"
#include "ui/KeyedListModel.hpp"

namespace tarvik::ui {

// One row of the active tab: a process's merged servers under its group's title.
struct ServerListRow {
    std::string group;  // the title of the row's group
    MergedServer server;
    bool operator==(const ServerListRow&) const = default;
    // The row's key: its primary server's id.
    [[nodiscard]] std::string id() const { return server.primary.id(); }
};

// The active tab's rows, every group's servers merged per process and kind, in the order the
// panel shows them. Keyed by id, so that a view keeps the widgets of the rows that stay.
class ServerListModel : public KeyedListModel<ServerListRow> {
    Q_OBJECT

public:
    using Row = ServerListRow;

    // The row's id, beside its kind's name as the display role.
    static constexpr int idRole = Qt::UserRole + 1;

    using KeyedListModel::KeyedListModel;

    // The rows of these groups, in group order.
    [[nodiscard]] static std::vector<Row> rowsOf(const std::vector<ServerGroup>& groups);

    void apply(const std::vector<ServerGroup>& groups);
    using KeyedListModel::apply;

    [[nodiscard]] const std::vector<ServerGroup>& groups() const { return m_groups; }

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<ServerGroup> m_groups;
};

}  // namespace tarvik::ui
