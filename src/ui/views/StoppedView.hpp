#pragma once

#include <QWidget>

#include "core/servers/StopAction.hpp"

class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// The stopped tab: the servers the user stopped lately, newest first, each offered to start again
// when its command and folder are known.
class StoppedView : public QWidget {
public:
    StoppedView(ServerStore& store, QWidget* parent);
    void rebuild();

private:
    QWidget* makeRow(const RecentStops::Entry& entry, bool dark, QWidget* parent);

    ServerStore& m_store;
    QVBoxLayout* m_layout;
};

}  // namespace tarvik::ui
