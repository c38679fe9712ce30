#pragma once

#include <QWidget>
#include <optional>
#include <string_view>

#include "core/servers/Probe.hpp"
#include "core/servers/ServerGroup.hpp"
#include "ui/views/Theme.hpp"

class QGridLayout;

namespace tarvik::ui {

class ServerStore;

// Everything known about one server, opened beneath its row: where and what it is, its figures,
// who can reach it, how it answered, and the actions on it.
class ServerDetailView : public QWidget {
    Q_OBJECT

public:
    // What the block shows; it is made again when they change.
    struct Inputs {
        MergedServer row;
        std::optional<HTTPProbe::Outcome> probe;
        std::optional<double> milliwatts;
        bool stubborn = false;
        bool operator==(const Inputs&) const = default;
    };
    [[nodiscard]] static Inputs inputsOf(const ServerStore& store, const MergedServer& row);

    // Shows the row's primary server, and every socket of the row.
    ServerDetailView(ServerStore& store, const MergedServer& row, QWidget* parent);
    // Shows new figures and a new probe answer in place; false when the block must be made again.
    bool update(const Inputs& inputs);

private:
    void addLine(QGridLayout* grid, std::string_view symbol, const Theme::Ink& symbolInk, QWidget* content);
    // The inputs without what changes from one refresh to the next.
    [[nodiscard]] static Inputs shapeOf(Inputs inputs);
    void fill();
    QWidget* makeButtons();

    ServerStore& m_store;
    Inputs m_inputs;
    Server m_server;
    MergedServer m_row;
    QWidget* m_figures = nullptr;
    QWidget* m_probe = nullptr;
};

}  // namespace tarvik::ui
