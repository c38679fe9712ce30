#pragma once

#include <QWidget>
#include <optional>
#include <string_view>

#include "core/servers/Probe.hpp"
#include "core/servers/ServerGroup.hpp"

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
    [[nodiscard]] const Inputs& inputs() const { return m_inputs; }

private:
    void addLine(QGridLayout* grid, std::string_view symbol, const QColor& symbolColour, QWidget* content);
    QWidget* makeFigures(bool dark);
    QWidget* makeButtons();

    ServerStore& m_store;
    Inputs m_inputs;
    Server m_server;
    MergedServer m_row;
};

}  // namespace tarvik::ui
