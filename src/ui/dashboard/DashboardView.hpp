#pragma once

#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "ui/views/DashboardSection.hpp"

class QAbstractButton;
class QAction;
class QLineEdit;
class QStackedWidget;

namespace tarvik::ui {

class ServerStore;
class StagePreview;
class StageStrip;
class SymbolButton;

// The dashboard window's content: a rail of the sections, a bar with back and forward, the rail
// toggle and the app search, the strip of section tiles, and the page of the selected section.
// Pages are made by the page factory the first time they are shown or previewed and kept for the
// view's lifetime. The history holds the sections visited before (`back`) and those stepped back
// from (`forward`); selecting a new section clears `forward`.
class DashboardView : public QWidget {
    Q_OBJECT

public:
    // Makes the page of a section; the view takes ownership of the widget.
    using PageFactory = std::function<QWidget*(DashboardSection, ServerStore&, DashboardView&)>;

    DashboardView(ServerStore& store, DashboardSection initial, QWidget* parent = nullptr);

    // The window's first size and its least size where a screen leaves `available` free: the
    // usual ones, cut down so that the window and the frame round it fit at any scale.
    struct Sizes {
        QSize size;
        QSize minimum;
    };
    [[nodiscard]] static Sizes sizesFor(QSize available);
    // The same for the screen the view is on.
    [[nodiscard]] Sizes sizes() const;

    // The factory every view made from now on uses; an empty one restores the default.
    static void setPageFactory(PageFactory factory);
    // The page made when no factory is set: the section's own page, its app tables following the
    // search field.
    static QWidget* defaultPage(DashboardSection section, ServerStore& store, DashboardView& view);

    // Shows the section; opening the disk page asks the store for a storage scan that it skips
    // when the last one is recent.
    void select(DashboardSection section);
    [[nodiscard]] DashboardSection selection() const { return m_selection; }
    // Shows `section` with an empty history, no search and no preview, as a fresh view would.
    void reset(DashboardSection section);

    [[nodiscard]] bool canGoBack() const { return !m_back.empty(); }
    [[nodiscard]] bool canGoForward() const { return !m_forward.empty(); }
    void goBack();
    void goForward();

    // The app search; pages filter their app tables by it.
    [[nodiscard]] QString query() const;
    void setQuery(const QString& query);

    [[nodiscard]] bool railShown() const { return m_railShown; }
    void setRailShown(bool shown);

    // The page of `section`, made now if it was not yet.
    QWidget* page(DashboardSection section);

signals:
    void queryChanged(const QString& query);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    static QWidget* filtered(QWidget* page, DashboardView& view);
    QWidget* makeRail();
    QWidget* makeBar();
    void showSection(DashboardSection section);
    void markSelection();
    void step(std::vector<DashboardSection>& from, std::vector<DashboardSection>& to);
    void preview(std::optional<DashboardSection> section);
    void restyle();
    // Takes the least size for the screen the window is on, shrinking a window too large for it.
    void fitScreen();

    ServerStore& m_store;
    DashboardSection m_selection;
    std::vector<DashboardSection> m_back;
    std::vector<DashboardSection> m_forward;
    bool m_railShown = true;

    QWidget* m_rail = nullptr;
    std::map<DashboardSection, QAbstractButton*> m_railButtons;
    SymbolButton* m_railToggle = nullptr;
    SymbolButton* m_backButton = nullptr;
    SymbolButton* m_forwardButton = nullptr;
    QLineEdit* m_search = nullptr;
    QAction* m_searchSymbol = nullptr;
    QAction* m_clear = nullptr;
    StageStrip* m_strip = nullptr;
    StagePreview* m_preview = nullptr;
    QStackedWidget* m_pages = nullptr;
    std::map<DashboardSection, QWidget*> m_made;
    QPointer<QWindow> m_watched;  // whose moves to another screen refit the view
};

}  // namespace tarvik::ui
