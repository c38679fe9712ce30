#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "ui/views/Theme.hpp"

class QScrollArea;

// Small pieces the pages share.
namespace tarvik::ui {

// A rounded block in the card colour. As a list, a hairline separates the visible widgets of its
// layout; outlined, a hairline runs round it instead.
class Card : public QWidget {
public:
    enum class Look { list, plain, outlined };
    explicit Card(QWidget* parent = nullptr, Look look = Look::list);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_look;
};

// Memory as one bar: each share from the left, the rest of `total` as the track.
class ShareBar : public QWidget {
public:
    struct Share {
        std::uint64_t bytes;
        Theme::Ink colour;
    };
    ShareBar(std::vector<Share> shares, std::uint64_t total, QWidget* parent, int height = 8);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Share> m_shares;
    std::uint64_t m_total;
};

// A frameless, vertically scrolling area for a page drawn on its parent's ground, with a thin bar.
// Give it its page with `setWidget` once the page is filled: it sizes itself from the page then.
[[nodiscard]] QScrollArea* pageScrollArea(QWidget* parent);

// Gives `widget` the text colour `colour` and leaves every other colour to its parents, so a later
// change of the application's palette still reaches it.
void setForeground(QWidget* widget, const QColor& colour);

}  // namespace tarvik::ui
