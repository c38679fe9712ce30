#pragma once

#include <QAbstractListModel>
#include <string>
#include <vector>

#include "core/servers/ServerGroup.hpp"

namespace tarvik::ui {

// The active tab's rows, every group's servers merged per process and kind, in the order the
// panel shows them. A new list is applied as insertions, removals, moves and changes of the rows
// it keys by id, so that a view keeps the widgets of the rows that stay.
class ServerListModel : public QAbstractListModel {
    Q_OBJECT

public:
    struct Row {
        std::string group;  // the title of the row's group
        MergedServer server;
        bool operator==(const Row&) const = default;
        // The row's key: its primary server's id.
        [[nodiscard]] std::string id() const { return server.primary.id(); }
    };

    // The row's id, beside its kind's name as the display role.
    static constexpr int idRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    // The rows of these groups, in group order.
    [[nodiscard]] static std::vector<Row> rowsOf(const std::vector<ServerGroup>& groups);

    void apply(const std::vector<ServerGroup>& groups);
    void apply(std::vector<Row> rows);

    [[nodiscard]] const std::vector<Row>& rows() const { return m_rows; }
    [[nodiscard]] const std::vector<ServerGroup>& groups() const { return m_groups; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

private:
    [[nodiscard]] int indexOf(const std::string& id, std::size_t from) const;

    std::vector<Row> m_rows;
    std::vector<ServerGroup> m_groups;
};

}  // namespace tarvik::ui
