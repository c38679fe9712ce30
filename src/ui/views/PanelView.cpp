#include "ui/views/PanelView.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui/ServerStore.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/OnboardingView.hpp"
#include "ui/views/OverviewView.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/PanelTabBar.hpp"
#include "ui/views/ServerListView.hpp"
#include "ui/views/StoppedView.hpp"
#include "ui/views/Toast.hpp"

namespace tarvik::ui {

namespace {

QScrollArea* scrolling(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    // The controls inside take the focus, not the area; it follows them instead.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->setAutoFillBackground(false);
    // Styled alone: a style sheet on the area would pin the palette of everything inside it.
    scroll->verticalScrollBar()->setStyleSheet(
        "QScrollBar:vertical { background: transparent; width: 9px; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.45); border-radius: 3px;"
        " min-height: 24px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
    content->setAutoFillBackground(false);
    return scroll;
}

// The widgets a layout holds, nested layouts included, in the order it shows them.
void laidOut(const QLayout* layout, std::vector<QWidget*>& into) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* widget = item->widget())
            into.push_back(widget);
        else if (const QLayout* nested = item->layout())
            laidOut(nested, into);
    }
}

// The controls under `widget` that Tab stops at, in the order they show: by their layouts, then
// the children placed by hand in the order they were made.
void tabStops(QWidget* widget, std::vector<QWidget*>& stops) {
    if (widget->focusPolicy() & Qt::TabFocus) stops.push_back(widget);
    std::vector<QWidget*> children;
    if (const QLayout* layout = widget->layout()) laidOut(layout, children);
    for (QObject* object : widget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child && !child->isWindow() &&
            std::find(children.begin(), children.end(), child) == children.end())
            children.push_back(child);
    }
    for (QWidget* child : children) tabStops(child, stops);
}

QString countText(int count) {
    if (count == 0) return PanelView::tr("all quiet");
    return count == 1 ? PanelView::tr("1 server") : PanelView::tr("%1 servers").arg(count);
}

}  // namespace

PanelView::PanelView(ServerStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(new PanelState(this)) {
    setFixedSize(Theme::Size::panel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_header = makeHeader();
    layout->addWidget(m_header);

    m_pages = new QStackedWidget(this);
    m_onboarding = new OnboardingView(store, nullptr);
    m_onboardingPage = scrolling(m_onboarding, m_pages);
    m_pages->addWidget(m_onboardingPage);

    m_listPage = new QWidget(m_pages);
    auto* list = new QVBoxLayout(m_listPage);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(Theme::Space::s);
    m_tabBar = new PanelTabBar(
        {{"tab:overview", tr("Overview")}, {"tab:active", tr("Active")}, {"tab:stopped", tr("Stopped")}},
        m_listPage);
    m_tabBar->onSelect = [this](int index) { showTab(static_cast<ListTab>(index)); };
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(Theme::Space::xl, 0, Theme::Space::xl, 0);
    bar->addWidget(m_tabBar);
    list->addLayout(bar);
    m_tabs = new QStackedWidget(m_listPage);
    m_overview = new OverviewView(
        store, *m_state, [this] { openDashboard(); }, nullptr);
    m_active = new ServerListView(store, *m_state, nullptr);
    m_stopped = new StoppedView(store, nullptr);
    for (QWidget* tab : std::initializer_list<QWidget*>{m_overview, m_active, m_stopped})
        m_tabs->addWidget(scrolling(tab, m_tabs));
    list->addWidget(m_tabs, 1);
    m_pages->addWidget(m_listPage);

    m_tidyPage = makeSubPage(m_tidySlot);
    m_settingsPage = makeSubPage(m_settingsSlot);
    layout->addWidget(m_pages, 1);

    m_toast = new Toast(store, this, [this] { return m_store.settings().hasOnboarded(); });

    connect(&store, &ServerStore::changed, this, &PanelView::scheduleRebuild);
    connect(m_state, &PanelState::changed, this, &PanelView::scheduleRebuild);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now || !isAncestorOf(now)) return;
        for (QWidget* above = now->parentWidget(); above && above != this; above = above->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(above)) scroll->ensureWidgetVisible(now);
    });
}

QWidget* PanelView::makeHeader() {
    auto* header = new QWidget(this);
    auto* stack = new QVBoxLayout(header);
    stack->setContentsMargins(0, 0, 0, 0);

    m_listHeader = new QWidget(header);
    auto* layout = new QHBoxLayout(m_listHeader);
    layout->setContentsMargins(Theme::Space::xxxl, Theme::Space::l, Theme::Space::l, Theme::Space::m);
    layout->setSpacing(0);
    auto* dot = makeDot(Theme::Role::green, Theme::Size::dot, m_listHeader);
    m_title = makeLabel(QStringLiteral("Tarvik"), Theme::Text::headline, Theme::Role::text, m_listHeader);
    m_count = makeLabel({}, Theme::Text::subheadline, Theme::Role::secondaryText, m_listHeader);
    m_count->setObjectName("count");
    layout->addWidget(dot);
    layout->addSpacing(Theme::Space::m);
    layout->addWidget(m_title);
    layout->addSpacing(Theme::Space::m);
    layout->addWidget(m_count, 0, Qt::AlignBaseline);
    layout->addStretch();
    auto button = [&](const char* name, const char* symbol, const QString& tip, auto action) {
        auto* result = new SymbolButton(symbol, Theme::Role::secondaryText, m_listHeader, 16);
        result->setObjectName(name);
        result->setToolTip(tip);
        result->setAccessibleName(tip);
        connect(result, &QAbstractButton::clicked, this, action);
        layout->addWidget(result);
        return result;
    };
    button("tidy", "sparkle", tr("Clean up idle ports"), [this] { showPage(Page::tidy); });
    button("settings", "gear-six", tr("Settings"), [this] { showPage(Page::settings); });
    button("dashboard", "app-window", tr("Open Tarvik"), [this] { openDashboard(); });
    stack->addWidget(m_listHeader);

    m_subHeader = new QWidget(header);
    auto* sub = new QHBoxLayout(m_subHeader);
    sub->setContentsMargins(Theme::Space::l, Theme::Space::l, Theme::Space::l, Theme::Space::m);
    sub->setSpacing(Theme::Space::l);
    auto* back = new CapsuleButton(tr("Back"), CapsuleButton::Style::plain, m_subHeader, "caret-left");
    back->setObjectName("back");
    connect(back, &QAbstractButton::clicked, this, [this] { showPage(Page::list); });
    sub->addWidget(back);
    m_subTitle = makeLabel({}, Theme::Text::headline, Theme::Role::text, m_subHeader);
    sub->addWidget(m_subTitle);
    sub->addStretch();
    stack->addWidget(m_subHeader);
    return header;
}

QWidget* PanelView::makeSubPage(QVBoxLayout*& slot) {
    auto* page = new QWidget(m_pages);
    slot = new QVBoxLayout(page);
    slot->setContentsMargins(0, 0, 0, 0);
    m_pages->addWidget(page);
    return page;
}

void PanelView::setSubPages(QWidget* tidy, QWidget* settings) {
    clearLayout(m_tidySlot);
    clearLayout(m_settingsSlot);
    if (tidy) m_tidySlot->addWidget(tidy);
    if (settings) m_settingsSlot->addWidget(settings);
    for (auto* scroll : findChildren<QScrollArea*>()) scroll->setFocusPolicy(Qt::NoFocus);
}

void PanelView::fitHeight(int height) {
    setFixedHeight(std::clamp(height, 0, Theme::Size::panel.height()));
}

bool PanelView::cancelQuestion() {
    if (!m_state->isAsking()) return m_active->cancelQuestion();
    m_state->cancel();
    return true;
}

void PanelView::setAnimated(bool animated) {
    m_tabBar->setAnimated(animated);
}

void PanelView::showPage(Page page) {
    m_page = page;
    showCurrent();
}

void PanelView::showTab(ListTab tab) {
    m_tab = tab;
    const int index = static_cast<int>(tab);
    if (m_tabBar->current() != index) m_tabBar->select(index);
    m_tabs->setCurrentIndex(index);
}

void PanelView::showCurrent() {
    const bool onboarding = !m_store.settings().hasOnboarded();
    m_header->setVisible(!onboarding);
    m_listHeader->setVisible(m_page == Page::list);
    m_subHeader->setVisible(m_page != Page::list);
    m_subTitle->setText(m_page == Page::tidy ? tr("Clean Up") : tr("Settings"));
    QWidget* current = m_page == Page::tidy       ? m_tidyPage
                       : m_page == Page::settings ? m_settingsPage
                                                  : m_listPage;
    m_pages->setCurrentWidget(onboarding ? m_onboardingPage : current);
}

void PanelView::scheduleRebuild() {
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    if (m_rebuildPending) return;
    m_rebuildPending = true;
    // Never in the middle of a click: a question's buttons go once it is answered.
    QMetaObject::invokeMethod(this, &PanelView::rebuild, Qt::QueuedConnection);
}

void PanelView::rebuild() {
    m_rebuildPending = false;
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    m_count->setText(countText(m_store.devServerCount()));
    showCurrent();
    m_toast->place();
    if (!m_store.settings().hasOnboarded()) return;
    QWidget* focus = QApplication::focusWidget();
    const QPointer<QWidget> focused = focus && isAncestorOf(focus) ? focus : nullptr;
    const QString name = focused ? focused->objectName() : QString();
    if (m_state->isAsking() && name != "confirm" && name != "cancel") m_asker = name;
    m_overview->rebuild();
    m_active->refresh();
    m_stopped->rebuild();
    // The overview shows its own parts, and only those it filled.
    showItems(m_stopped->layout());
    orderTabs();
    QWidget* still = focused.data();  // one read: the rebuild may have deleted it
    if (!name.isNull() && (!still || !still->isVisible())) refocus(name);
}

void PanelView::refocus(const QString& lost) {
    auto shown = [this](const QString& name) -> QWidget* {
        if (name.isEmpty()) return nullptr;
        for (auto* widget : findChildren<QWidget*>(name))
            if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus)) return widget;
        return nullptr;
    };
    QWidget* target = m_state->isAsking() ? shown("confirm") : nullptr;
    if (!target) target = shown(m_asker);
    if (!target) target = shown(lost);
    if (target) focusByKeyboard(target);
}

void PanelView::orderTabs() {
    std::vector<QWidget*> stops;
    tabStops(this, stops);
    for (std::size_t i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1], stops[i]);
}

bool PanelView::focusNextPrevChild(bool next) {
    // Rows and questions come and go, each new control at the end of Qt's focus chain: it is put in
    // the order the panel shows before each step.
    orderTabs();
    return QWidget::focusNextPrevChild(next);
}

void PanelView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancelQuestion()) return;
    QWidget::keyPressEvent(event);
}

void PanelView::openDashboard() {
    m_store.setPanelIsOpen(false);
    emit dashboardRequested();
}

void PanelView::showEvent(QShowEvent*) {
    m_store.setPanelIsOpen(true);
    if (m_stale) rebuild();
}

void PanelView::releaseRows() {
    if (isVisible()) return;
    m_active->release();
    m_stale = true;
}

void PanelView::hideEvent(QHideEvent*) {
    m_store.setPanelIsOpen(false);
    m_page = Page::list;
    showTab(ListTab::overview);
    m_active->reset();
    m_state->reset();
    // A new opening starts with nothing focused, as it does with the mouse.
    if (QWidget* focus = focusWidget()) focus->clearFocus();
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!testAttribute(Qt::WA_TranslucentBackground)) {
        painter.fillRect(rect(), Theme::color(Theme::Role::background, this));
        return;
    }
    // A frameless popup on a compositor: the rounded shape is the window's.
    painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
    painter.setBrush(Theme::color(Theme::Role::background, this));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::xl,
                            Theme::Radius::xl);
}

}  // namespace tarvik::ui
