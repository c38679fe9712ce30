#pragma once

#include <QWidget>

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The network page: download and upload over the last hour, and on request the apps behind them.
[[nodiscard]] MetricPage* makeNetworkPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
