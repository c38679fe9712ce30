#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <optional>

#include "ui/views/DashboardSection.hpp"

class QGridLayout;

namespace tarvik::ui {

class ServerStore;

// The reading a section's tile shows: "23%", "212 GB free", "3 servers", "No battery", "No GPU"
// and the like; "Measuring" before the store's first reading, and empty for settings.
[[nodiscard]] QString stageValue(DashboardSection section, const ServerStore& store);

// One small tile per section above the page, each with its live reading: one row when every reading
// fits, two rows otherwise. It reads the store on `refresh` only.
class StageStrip : public QWidget {
public:
    explicit StageStrip(const ServerStore& store, QWidget* parent = nullptr);

    void refresh();
    // Marks the tile of the section on view.
    void setCurrent(DashboardSection section);
    // The tile's frame on the screen.
    [[nodiscard]] QRect globalFrame(DashboardSection section) const;

    std::function<void(DashboardSection)> onSelect;
    // The section under the pointer, or nullopt once it has left every tile.
    std::function<void(std::optional<DashboardSection>)> onHover;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Tile;

    void arrange(int columns);
    // One row or two, by the width the readings need.
    void fit();

    const ServerStore& m_store;
    QGridLayout* m_grid;
    std::map<DashboardSection, Tile*> m_tiles;
    int m_columns = 0;
};

// The small picture of a page that hangs under a hovered tile.
class StagePreview : public QWidget {
public:
    explicit StagePreview(QWidget* parent);
    // Shows `page` scaled down and titled under `tile` (a rectangle on the screen).
    void present(const QPixmap& page, const QString& title, QRect tile);

    // Where a preview of `size` goes for `tile`: below it, left edges lined up, or above it when
    // the screen's `available` area has no room below; never past the area's sides.
    [[nodiscard]] static QPoint placement(QRect tile, QSize size, QRect available);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_page;
    QString m_title;
};

}  // namespace tarvik::ui
