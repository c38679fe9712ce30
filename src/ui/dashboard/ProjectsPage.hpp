#pragma once

#include <QWidget>

namespace tarvik::ui {

class ServerStore;

// The projects page: the dev servers by project, what they use over the last hour, and a way to
// open or stop each one or a whole project.
[[nodiscard]] QWidget* makeProjectsPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
