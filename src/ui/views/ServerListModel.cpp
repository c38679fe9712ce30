#include "ui/views/ServerListModel.hpp"

#include <set>

#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

std::vector<ServerListModel::Row> ServerListModel::rowsOf(const std::vector<ServerGroup>& groups) {
    std::vector<Row> rows;
    for (const auto& group : groups)
        for (auto& server : PortMerger::merge(group.servers))
            rows.push_back({group.title, std::move(server)});
    return rows;
}

void ServerListModel::apply(const std::vector<ServerGroup>& groups) {
    m_groups = groups;
    apply(rowsOf(groups));
}

void ServerListModel::apply(std::vector<Row> rows) {
    std::set<std::string> kept;
    for (const auto& row : rows) kept.insert(row.id());
    for (int i = static_cast<int>(m_rows.size()) - 1; i >= 0; --i) {
        if (kept.contains(m_rows[static_cast<std::size_t>(i)].id())) continue;
        beginRemoveRows({}, i, i);
        m_rows.erase(m_rows.begin() + i);
        endRemoveRows();
    }
    // Every row before `i` is in its new place; the one that belongs at `i` is found further on,
    // or is new.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int at = static_cast<int>(i);
        const int found = indexOf(rows[i].id(), i);
        if (found < 0) {
            beginInsertRows({}, at, at);
            m_rows.insert(m_rows.begin() + at, std::move(rows[i]));
            endInsertRows();
            continue;
        }
        if (found != at) {
            beginMoveRows({}, found, found, {}, at);
            auto moved = std::move(m_rows[static_cast<std::size_t>(found)]);
            m_rows.erase(m_rows.begin() + found);
            m_rows.insert(m_rows.begin() + at, std::move(moved));
            endMoveRows();
        }
        if (!(m_rows[i] == rows[i])) {
            m_rows[i] = std::move(rows[i]);
            emit dataChanged(index(at), index(at));
        }
    }
}

int ServerListModel::indexOf(const std::string& id, std::size_t from) const {
    for (std::size_t i = from; i < m_rows.size(); ++i)
        if (m_rows[i].id() == id) return static_cast<int>(i);
    return -1;
}

int ServerListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return qs(row.server.primary.kind.name);
        case idRole:
            return qs(row.id());
        default:
            return {};
    }
}

}  // namespace tarvik::ui
