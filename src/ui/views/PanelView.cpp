#include "ui/views/PanelView.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

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
    if (count == 0) return "all quiet";
    return QString::number(count) + (count == 1 ? " server" : " servers");
}

}  // namespace

PanelView::PanelView(ServerStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(new PanelState(this)) {
    setFixedSize(380, 560);
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
    list->setSpacing(6);
    m_tabBar = new PanelTabBar(
        {{"tab:overview", "Overview"}, {"tab:active", "Active"}, {"tab:stopped", "Stopped"}}, m_listPage);
    m_tabBar->onSelect = [this](int index) { showTab(static_cast<ListTab>(index)); };
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(12, 0, 12, 0);
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
}

QWidget* PanelView::makeHeader() {
    auto* header = new QWidget(this);
    auto* stack = new QVBoxLayout(header);
    stack->setContentsMargins(0, 0, 0, 0);

    m_listHeader = new QWidget(header);
    auto* layout = new QHBoxLayout(m_listHeader);
    layout->setContentsMargins(16, 10, 10, 8);
    layout->setSpacing(0);
    m_dot = new QLabel(m_listHeader);
    m_dot->setFixedSize(8, 8);
    m_title = new QLabel("Tarvik", m_listHeader);
    m_title->setFont(Theme::font(13, QFont::Bold));
    m_count = new QLabel(m_listHeader);
    m_count->setObjectName("count");
    m_count->setFont(Theme::font(10));
    layout->addWidget(m_dot);
    layout->addSpacing(8);
    layout->addWidget(m_title);
    layout->addSpacing(8);
    layout->addWidget(m_count, 0, Qt::AlignBaseline);
    layout->addStretch();
    auto button = [&](const char* name, const QString& tip, auto action) {
        auto* result = new SymbolButton("", QColor(), m_listHeader, 16);
        result->setObjectName(name);
        result->setToolTip(tip);
        connect(result, &QAbstractButton::clicked, this, action);
        layout->addWidget(result);
        return result;
    };
    m_tidyButton = button("tidy", "Clean up idle ports", [this] { showPage(Page::tidy); });
    m_settingsButton = button("settings", "Settings", [this] { showPage(Page::settings); });
    m_windowButton = button("dashboard", "Open Tarvik", [this] { openDashboard(); });
    stack->addWidget(m_listHeader);

    m_subHeader = new QWidget(header);
    auto* sub = new QHBoxLayout(m_subHeader);
    sub->setContentsMargins(10, 10, 10, 8);
    sub->setSpacing(10);
    auto* back = new CapsuleButton("Back", CapsuleButton::Style::plain, m_subHeader, "chevron.left");
    back->setObjectName("back");
    connect(back, &QAbstractButton::clicked, this, [this] { showPage(Page::list); });
    sub->addWidget(back);
    m_subTitle = new QLabel(m_subHeader);
    m_subTitle->setFont(Theme::font(13, QFont::Bold));
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
    const bool onboarding = !m_store.settings().hasOnboarded();
    m_header->setVisible(!onboarding);
    m_listHeader->setVisible(m_page == Page::list);
    m_subHeader->setVisible(m_page != Page::list);
    m_subTitle->setText(m_page == Page::tidy ? "Clean Up" : "Settings");
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
    styleHeader();
    showCurrent();
    m_toast->place();
    if (!m_store.settings().hasOnboarded()) {
        m_onboarding->rebuild();
        showItems(m_onboarding->layout());
        return;
    }
    m_overview->rebuild();
    m_active->refresh();
    m_stopped->rebuild();
    for (QWidget* tab : std::initializer_list<QWidget*>{m_overview, m_stopped}) showItems(tab->layout());
}

void PanelView::styleHeader() {
    const bool dark = Theme::isDark(this);
    m_dot->setStyleSheet(
        QString("background: %1; border-radius: 4px;").arg(Theme::color(Theme::Role::green, dark).name()));
    setTextColour(m_title, Theme::color(Theme::Role::text, dark));
    setTextColour(m_subTitle, Theme::color(Theme::Role::text, dark));
    setTextColour(m_count, Theme::color(Theme::Role::secondaryText, dark));
    m_count->setText(countText(m_store.devServerCount()));
    const QColor symbols = Theme::color(Theme::Role::secondaryText, dark);
    m_tidyButton->setSymbol("sparkles", symbols);
    m_settingsButton->setSymbol("gearshape", symbols);
    m_windowButton->setSymbol("macwindow", symbols);
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

void PanelView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) scheduleRebuild();
    QWidget::changeEvent(event);
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    if (!testAttribute(Qt::WA_TranslucentBackground)) {
        painter.fillRect(rect(), Theme::color(Theme::Role::background, dark));
        return;
    }
    // A frameless popup on a compositor: the rounded shape is the window's.
    painter.setPen(QPen(Theme::color(Theme::Role::separator, dark), 1));
    painter.setBrush(Theme::color(Theme::Role::background, dark));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

}  // namespace tarvik::ui
