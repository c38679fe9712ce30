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
// Tab walks its controls in the order they show; Escape closes the open question, and otherwise
// goes on to the window holding the panel, which closes.
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
    // At most `height` pixels tall, for a screen shorter than the panel; the pages scroll.
    void fitHeight(int height);
    // Closes the question the panel asks, if it asks one; true when it did.
    bool cancelQuestion();
    // For a panel hidden a while: drops the rows it would only make again, catching up on showing.
    void releaseRows();

signals:
    // The user asked for the window; the panel has already cleared `panelIsOpen`.
    void dashboardRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QWidget* makeHeader();
    QWidget* makeSubPage(QVBoxLayout*& slot);
    void scheduleRebuild();
    void rebuild();
    void showCurrent();
    void openDashboard();
    // Puts Qt's focus chain in the order the panel shows its controls.
    void orderTabs();
    // Gives the focus back after a rebuild took away the control that had it.
    void refocus(const QString& lost);

    ServerStore& m_store;
    PanelState* m_state;
    Page m_page = Page::list;
    ListTab m_tab = ListTab::overview;
    bool m_rebuildPending = false;
    bool m_stale = true;
    QString m_asker;  // the control that opened the question, to go back to when it closes

    QWidget* m_header = nullptr;
    QWidget* m_listHeader = nullptr;
    QWidget* m_subHeader = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_subTitle = nullptr;

    QStackedWidget* m_pages = nullptr;
    OnboardingView* m_onboarding = nullptr;
    QWidget* m_onboardingPage = nullptr;
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
