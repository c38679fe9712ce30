#include "ui/views/ServerListModel.hpp"

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

QVariant ServerListModel::data(const QModelIndex& index, int role) const {
    const Row* found = rowAt(index);
    if (!found) return {};
    const Row& row = *found;
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
