#pragma once

#include <QSize>
#include <QString>
#include <string>

namespace tarvik::app {

struct RenderRequest {
    QString target;  // "panel:overview", "tray-icon", ...
    QString out;     // the PNG to write
    bool preview = false;
    bool dark = false;
    QSize size;  // of a dashboard render; empty for the window's default
};

// The targets that can be drawn, for help texts.
[[nodiscard]] QStringList renderTargets();
// Draws the target offscreen into `out`. Returns the exit status; says what went wrong on stderr.
int render(const RenderRequest& request);

}  // namespace tarvik::app
