#include "ui/views/PanelView.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
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
    m_onboarding = new OnboardingView(store, m_pages);
    m_pages->addWidget(m_onboarding);

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

    m_toast = new Toast(store, this, [this] { return m_store.hasOnboarded(); });

    connect(&store, &ServerStore::changed, this, &PanelView::scheduleRebuild);
    connect(m_state, &PanelState::changed, this, &PanelView::scheduleRebuild);
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
    button("tidy", "sparkles", tr("Clean up idle ports"), [this] { showPage(Page::tidy); });
    button("settings", "gearshape", tr("Settings"), [this] { showPage(Page::settings); });
    button("dashboard", "macwindow", tr("Open Tarvik"), [this] { openDashboard(); });
    stack->addWidget(m_listHeader);

    m_subHeader = new QWidget(header);
    auto* sub = new QHBoxLayout(m_subHeader);
    sub->setContentsMargins(Theme::Space::l, Theme::Space::l, Theme::Space::l, Theme::Space::m);
    sub->setSpacing(Theme::Space::l);
    auto* back = new CapsuleButton(tr("Back"), CapsuleButton::Style::plain, m_subHeader, "chevron.left");
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
    const bool onboarding = !m_store.hasOnboarded();
    m_header->setVisible(!onboarding);
    m_listHeader->setVisible(m_page == Page::list);
    m_subHeader->setVisible(m_page != Page::list);
    m_subTitle->setText(m_page == Page::tidy ? tr("Clean Up") : tr("Settings"));
    QWidget* current = m_page == Page::tidy       ? m_tidyPage
                       : m_page == Page::settings ? m_settingsPage
                                                  : m_listPage;
    m_pages->setCurrentWidget(onboarding ? m_onboarding : current);
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
    if (!m_store.hasOnboarded()) return;
    m_overview->rebuild();
    m_active->refresh();
    m_stopped->rebuild();
    for (QWidget* tab : std::initializer_list<QWidget*>{m_overview, m_stopped}) showItems(tab->layout());
}

void PanelView::openDashboard() {
    m_store.setPanelIsOpen(false);
    emit dashboardRequested();
}

void PanelView::showEvent(QShowEvent*) {
    m_store.setPanelIsOpen(true);
    if (m_stale) rebuild();
}

void PanelView::hideEvent(QHideEvent*) {
    m_store.setPanelIsOpen(false);
    m_page = Page::list;
    showTab(ListTab::overview);
    m_active->reset();
    m_state->reset();
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
