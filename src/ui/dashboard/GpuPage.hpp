#pragma once

#include <QWidget>

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The GPU page: how busy the graphics chip is and which apps are drawing on it.
[[nodiscard]] MetricPage* makeGpuPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
