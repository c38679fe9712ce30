#pragma once

class QWidget;

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The battery page: charge, where the power goes and the apps drawing the most. A computer
// without a battery shows one sentence and nothing else.
[[nodiscard]] MetricPage* makeBatteryPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
