#pragma once

#include <QAbstractListModel>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarvik::ui {

// A list model of rows that carry their own key (`row.id()`). A new list is applied as removals,
// insertions, moves and changes of the rows by key, so that views keep what they built for the
// rows that stay.
template <typename Row>
class KeyedListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void apply(std::vector<Row> rows) {
        std::set<std::decay_t<decltype(std::declval<const Row&>().id())>> kept;
        for (const auto& row : rows) kept.insert(row.id());
        for (int i = static_cast<int>(m_rows.size()) - 1; i >= 0; --i) {
            if (kept.contains(m_rows[static_cast<std::size_t>(i)].id())) continue;
            beginRemoveRows({}, i, i);
            m_rows.erase(m_rows.begin() + i);
            endRemoveRows();
        }
        // Every row before `i` is in its new place; the one that belongs at `i` is further on, or new.
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int at = static_cast<int>(i);
            const int found = indexOf(rows[i], i);
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

    [[nodiscard]] const std::vector<Row>& rows() const { return m_rows; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }

protected:
    [[nodiscard]] const Row* rowAt(const QModelIndex& index) const {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return nullptr;
        return &m_rows[static_cast<std::size_t>(index.row())];
    }

private:
    [[nodiscard]] int indexOf(const Row& row, std::size_t from) const {
        for (std::size_t i = from; i < m_rows.size(); ++i)
            if (m_rows[i].id() == row.id()) return static_cast<int>(i);
        return -1;
    }

    std::vector<Row> m_rows;
};

}  // namespace tarvik::ui
