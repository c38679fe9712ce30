#pragma once

#include <QPalette>
#include <QWidget>
#include <string>
#include <vector>

#include "core/servers/DevFootprint.hpp"
#include "ui/views/Theme.hpp"

class QLabel;

namespace tarvik::ui {

// The dev servers' footprint as a picture to post: the memory they take, the bar of what takes
// it, and the projects behind it. Always 1200 x 630, in the appearance it is made for.
class ShareCard : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 1200;
    static constexpr int height = 630;
    // Projects beyond these are summed up in one line.
    static constexpr int listedProjects = 6;

    ShareCard(const DevFootprint& footprint, const std::vector<ProjectUsage>& projects, int serverCount,
              const QPalette& appearance, QWidget* parent = nullptr);

    // "1.2 GB across 3 servers".
    [[nodiscard]] static QString sentence(std::uint64_t bytes, int serverCount);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] QLabel* label(const QString& text, int pixels, QFont::Weight weight, Theme::Role role);
    [[nodiscard]] QWidget* makeLegend(const DevFootprint& footprint);
    [[nodiscard]] QWidget* makeProjects(const std::vector<ProjectUsage>& projects);
};

}  // namespace tarvik::ui
