#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;
class QVBoxLayout;

namespace tarvik::ui {

class CapsuleButton;
class OnboardingView;
class OverviewView;
class PanelState;
class PanelTabBar;
class ServerListView;
class ServerStore;
class StoppedView;
class Toast;

// The tray's panel: onboarding until the user has seen it, then a header, the overview, active
// and stopped tabs, the clean-up and settings pages, and the toast. It reads the store and calls
// its actions; it keeps only where the user is and what they have open, and forgets it on closing.
// While hidden it only notes that the store changed and catches up when it shows again.
class PanelView : public QWidget {
    Q_OBJECT

public:
    enum class Page { list, settings, tidy };
    enum class ListTab { overview, active, stopped };

    explicit PanelView(ServerStore& store, QWidget* parent = nullptr);

    void showPage(Page page);
    void showTab(ListTab tab);
    [[nodiscard]] Page page() const { return m_page; }
    [[nodiscard]] ListTab tab() const { return m_tab; }

    // Places the clean-up and settings views on their pages; the panel owns them from then on.
    void setSubPages(QWidget* tidy, QWidget* settings);
    // Off for pictures of the panel: nothing moves.
    void setAnimated(bool animated);

signals:
    // The user asked for the window; the panel has already cleared `panelIsOpen`.
    void dashboardRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeSubPage(QVBoxLayout*& slot);
    void scheduleRebuild();
    void rebuild();
    void showCurrent();
    void openDashboard();

    ServerStore& m_store;
    PanelState* m_state;
    Page m_page = Page::list;
    ListTab m_tab = ListTab::overview;
    bool m_rebuildPending = false;
    bool m_stale = true;

    QWidget* m_header = nullptr;
    QWidget* m_listHeader = nullptr;
    QWidget* m_subHeader = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_subTitle = nullptr;

    QStackedWidget* m_pages = nullptr;
    OnboardingView* m_onboarding = nullptr;
    QWidget* m_listPage = nullptr;
    PanelTabBar* m_tabBar = nullptr;
    QStackedWidget* m_tabs = nullptr;
    OverviewView* m_overview = nullptr;
    ServerListView* m_active = nullptr;
    StoppedView* m_stopped = nullptr;
    QWidget* m_tidyPage = nullptr;
    QWidget* m_settingsPage = nullptr;
    QVBoxLayout* m_tidySlot = nullptr;
    QVBoxLayout* m_settingsSlot = nullptr;

    Toast* m_toast = nullptr;
};

}  // namespace tarvik::ui
