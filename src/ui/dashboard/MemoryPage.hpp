#pragma once

#include <QWidget>

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The memory page: how full memory is, whether the machine is pushing it to disk, and the apps to
// quit to free it.
[[nodiscard]] MetricPage* makeMemoryPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
