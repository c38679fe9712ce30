#pragma once

#include <QWidget>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/processes/AppUsage.hpp"
#include "ui/views/Theme.hpp"

class QLabel;

namespace tarvik::ui {

class ServerStore;

// What the rows of one table keep across refreshes, by app name.
struct AppRowState {
    enum class Question { quit, forceQuit };
    std::set<std::string> expanded;
    std::set<std::string> showingAll;  // every process listed, not only the first few
    std::map<std::string, Question> asking;
};

// One app: its name and figures on a line that opens the explanation, its processes and the
// quit actions. The details are built when first opened; asking only shows and hides parts.
class AppRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int processesShown = 3;  // before "Show all"

    // A figure some pages show after CPU and memory.
    enum class Extra { none, gpu };

    AppRow(ServerStore& store, AppRowState& state, AppUsage app, Extra extra, QWidget* parent);

    [[nodiscard]] const AppUsage& app() const { return m_app; }
    // New figures for the same app: the line's texts change; the details are made again only when
    // its processes or what can be done with it changed.
    void setApp(AppUsage app);
    void setExpanded(bool expanded);
    [[nodiscard]] bool isExpanded() const;

    // The widths of the figure columns, shared with the table's header.
    static constexpr int cpuWidth = 64;
    static constexpr int memoryWidth = 78;
    static constexpr int extraWidth = 70;
    static constexpr int chevronSize = 11;
    static constexpr int iconSize = 18;
    // Where the name starts, after the chevron and the icon; the details and the head line up with it.
    static constexpr int nameIndent =
        Theme::Space::l + chevronSize + Theme::Space::l + iconSize + Theme::Space::l;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makeLine();
    void showFigures();
    void drawChevron();
    QWidget* makeDetails();
    void dropDetails();
    QWidget* makeProcess(const ProcessRecord& process, QWidget* parent);
    QWidget* makeActions(QWidget* parent);
    QWidget* makeQuestion(AppRowState::Question question, QWidget* parent);
    void ask(std::optional<AppRowState::Question> question);
    void showAll(bool all);

    ServerStore& m_store;
    AppRowState& m_state;
    AppUsage m_app;
    Extra m_extra;
    QWidget* m_line = nullptr;
    QLabel* m_cpu = nullptr;
    QLabel* m_memory = nullptr;
    QLabel* m_extraFigure = nullptr;
    QWidget* m_details = nullptr;
    QLabel* m_chevron = nullptr;
    std::vector<QWidget*> m_extraProcesses;  // beyond the first few
    QWidget* m_showAll = nullptr;
    QWidget* m_showFewer = nullptr;
    QWidget* m_actions = nullptr;
    std::map<AppRowState::Question, QWidget*> m_questions;
};

}  // namespace tarvik::ui
