#pragma once

#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/servers/StopAction.hpp"
#include "ui/views/Theme.hpp"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// The clean-up page: the background listeners idle long enough to stop, ticked one by one, how
// much memory stopping the ticked ones frees, and the listeners left alone with the reason. It
// follows the store's changes and keeps the ticks while it lives; a tick on a server that is no
// longer reviewable counts for nothing.
class TidyView : public QWidget {
    Q_OBJECT

public:
    // With `previewIdlePids`, exactly those pids count as idle; otherwise the store's idle tracker
    // decides.
    explicit TidyView(ServerStore& store,
                      std::optional<std::set<std::int32_t>> previewIdlePids = std::nullopt,
                      QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    class ReviewRow;
    class KeptRow;
    class KeptSafeHeader;

    void refresh();
    void restyle();
    [[nodiscard]] std::vector<Server> selectedServers() const;
    void toggle(const std::string& id);
    void selectAll();
    void cleanUp();
    void showFigure(std::uint64_t bytes);
    void expandKeptSafe(bool expand);
    void applyExpansion(qreal progress);

    ServerStore& m_store;
    std::optional<std::set<std::int32_t>> m_previewIdlePids;
    std::set<std::string> m_selected;  // server ids
    bool m_showKeptSafe = false;
    TidyCandidates::Result m_tidy;

    QLabel* m_figure = nullptr;
    QLabel* m_reviewCount = nullptr;
    QPushButton* m_selectAll = nullptr;
    QWidget* m_reviewCard = nullptr;
    QLabel* m_nothing = nullptr;
    std::vector<ReviewRow*> m_reviewRows;
    QWidget* m_keptSection = nullptr;
    KeptSafeHeader* m_keptHeader = nullptr;
    QWidget* m_keptCard = nullptr;
    std::vector<KeptRow*> m_keptRows;
    QPushButton* m_cleanUp = nullptr;

    QVariantAnimation m_counting;  // the figure, in bytes
    std::optional<std::uint64_t> m_figureTarget;
    std::uint64_t m_figureShown = 0;
    QVariantAnimation m_expansion;  // the kept-safe list, 0 closed to 1 open
};

}  // namespace tarvik::ui
