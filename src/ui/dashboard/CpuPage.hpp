#pragma once

#include <QWidget>
#include <vector>

#include "core/machine/SystemVitals.hpp"

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// Each logical core's load as a bar labelled "Core " and its index, efficiency cores grouped
// apart from performance cores when the machine has both.
class CoreBars : public QWidget {
    Q_OBJECT

public:
    explicit CoreBars(QWidget* parent);
    void setCores(std::vector<CoreLoad> cores);
    [[nodiscard]] QSize sizeHint() const override;

    // The group headings drawn, in order; none when every core is of one kind.
    [[nodiscard]] QStringList groups() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Group {
        QString title;
        std::vector<CoreLoad> cores;
    };
    [[nodiscard]] std::vector<Group> grouped() const;

    std::vector<CoreLoad> m_cores;
};

// The CPU page: what keeps the processor busy now and over the last hour.
[[nodiscard]] MetricPage* makeCpuPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
