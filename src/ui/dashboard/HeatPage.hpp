#pragma once

#include <QWidget>

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The heat page: how hot the chip is and what adds the heat. A machine without a temperature
// sensor says so instead of showing any temperature.
[[nodiscard]] MetricPage* makeHeatPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
