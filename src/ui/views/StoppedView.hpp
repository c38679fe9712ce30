#pragma once

#include <QWidget>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/servers/StopAction.hpp"

class QLabel;
class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// The stopped tab: the servers the user stopped lately, newest first, each offered to start again
// when its command and folder are known.
class StoppedView : public QWidget {
    Q_OBJECT

public:
    StoppedView(ServerStore& store, QWidget* parent);
    // Makes the tab again when its rows changed, and only updates how long ago each stopped.
    void rebuild();

private:
    struct Shown {
        std::vector<RecentStops::Entry> entries;
        std::set<std::string> restarting;
        bool operator==(const Shown&) const = default;
    };

    void make(const Shown& shown);
    QWidget* makeRow(const RecentStops::Entry& entry, QWidget* parent);

    ServerStore& m_store;
    QVBoxLayout* m_layout;
    std::optional<Shown> m_shown;
    std::vector<QLabel*> m_ages;  // one per entry
};

}  // namespace tarvik::ui
