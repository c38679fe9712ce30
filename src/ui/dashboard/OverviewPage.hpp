#pragma once

#include <QWidget>

namespace tarvik::ui {

class ServerStore;

// The overview page: the verdict of the findings, a grid of the machine's vitals, why it is warm
// and the busiest apps.
[[nodiscard]] QWidget* makeOverviewPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
