#include "ui/dashboard/DashboardView.hpp"

#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/BatteryPage.hpp"
#include "ui/dashboard/CpuPage.hpp"
#include "ui/dashboard/DiskPage.hpp"
#include "ui/dashboard/GpuPage.hpp"
#include "ui/dashboard/HeatPage.hpp"
#include "ui/dashboard/MemoryPage.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/NetworkPage.hpp"
#include "ui/dashboard/OverviewPage.hpp"
#include "ui/dashboard/ProjectsPage.hpp"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/dashboard/StageStrip.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/Toast.hpp"

namespace tarvik::ui {

namespace {

DashboardView::PageFactory installedFactory;

constexpr int railWidth = 208;

QString titleOf(DashboardSection section) {
    return qs(DashboardSections::title(section));
}

// A row of the rail: the section's symbol and title, marked while its page is on view.
class RailButton : public QAbstractButton {
public:
    RailButton(DashboardSection section, QWidget* parent) : QAbstractButton(parent), m_section(section) {
        setObjectName(qs("rail:" + std::string(DashboardSections::rawValue(section))));
        setText(titleOf(section));
        setCheckable(true);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFont(Theme::font(10.5, QFont::Medium));
    }
    [[nodiscard]] QSize sizeHint() const override { return {railWidth - 20, 30}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDark(this);
        if (isChecked() || underMouse()) {
            QColor fill = Theme::color(Theme::Role::text, dark);
            fill.setAlpha(isChecked() ? 26 : 14);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(QRectF(rect()), 7, 7);
        }
        const QColor tint = Theme::tint(DashboardSections::tint(m_section), dark);
        painter.drawPixmap(
            10, (height() - 16) / 2,
            Icons::symbol(DashboardSections::symbol(m_section), tint, 16, devicePixelRatioF()));
        painter.setPen(Theme::color(Theme::Role::text, dark));
        painter.drawText(rect().adjusted(36, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    DashboardSection m_section;
};

// The rail's ground, a shade off the page's, with a hairline towards the page.
class Rail : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const bool dark = Theme::isDark(this);
        painter.fillRect(rect(), Theme::color(Theme::Role::card, dark));
        painter.setPen(Theme::color(Theme::Role::separator, dark));
        painter.drawLine(width() - 1, 0, width() - 1, height());
    }
};

QWidget* settingsPage(ServerStore& store, QWidget* page, QVBoxLayout* layout) {
    const bool dark = Theme::isDark(page);
    layout->addWidget(new SettingsView(store, page), 1);
    auto* card = new Card(page, Card::Look::outlined);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(14);
    auto* quit = new CapsuleButton("Quit Tarvik", CapsuleButton::Style::destructive, card);
    QObject::connect(quit, &QAbstractButton::clicked, qApp, &QCoreApplication::quit);
    auto* line = makeLabel(qs("Stops measuring and removes Tarvik from the tray. Ctrl+Q does the same."), 9.5,
                           QFont::Normal, Theme::Role::secondaryText, dark, card);
    line->setWordWrap(true);
    row->addWidget(quit);
    row->addWidget(line, 1);
    layout->addWidget(card);
    return page;
}

}  // namespace

DashboardView::DashboardView(ServerStore& store, DashboardSection initial, QWidget* parent)
    : QWidget(parent), m_store(store), m_selection(initial) {
    setMinimumSize(860, 560);
    m_dark = Theme::isDark(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_rail = makeRail();
    layout->addWidget(m_rail);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeBar());
    m_strip = new StageStrip(store, this);
    m_strip->setContentsMargins(16, 0, 16, 6);
    m_strip->onSelect = [this](DashboardSection section) { select(section); };
    m_strip->onHover = [this](std::optional<DashboardSection> section) { preview(section); };
    column->addWidget(m_strip);
    m_pages = new QStackedWidget(this);
    column->addWidget(m_pages, 1);
    new Toast(store, m_pages);
    layout->addLayout(column, 1);

    m_preview = new StagePreview(this);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, qApp, &QCoreApplication::quit);
    connect(&store, &ServerStore::changed, this, [this] { m_strip->refresh(); });
    restyle();
    showSection(initial);
}

void DashboardView::setPageFactory(PageFactory factory) {
    installedFactory = std::move(factory);
}

QWidget* DashboardView::filtered(QWidget* page, DashboardView& view) {
    // The lists declare no meta-object of their own, so they are told apart by their C++ type.
    for (auto* widget : page->findChildren<QWidget*>()) {
        auto* list = dynamic_cast<AppFilter*>(widget);
        if (!list) continue;
        list->setFilter(view.query());
        connect(&view, &DashboardView::queryChanged, widget,
                [list](const QString& query) { list->setFilter(query); });
    }
    return page;
}

QWidget* DashboardView::defaultPage(DashboardSection section, ServerStore& store, DashboardView& view) {
    MetricPage* metric = nullptr;
    switch (section) {
        case DashboardSection::cpu:
            metric = makeCpuPage(store, &view);
            break;
        case DashboardSection::memory:
            metric = makeMemoryPage(store, &view);
            break;
        case DashboardSection::gpu:
            metric = makeGpuPage(store, &view);
            break;
        case DashboardSection::disk:
            metric = makeDiskPage(store, &view);
            break;
        case DashboardSection::network:
            metric = makeNetworkPage(store, &view);
            break;
        case DashboardSection::battery:
            metric = makeBatteryPage(store, &view);
            break;
        case DashboardSection::heat:
            metric = makeHeatPage(store, &view);
            break;
        case DashboardSection::overview:
            return filtered(makeOverviewPage(store, &view), view);
        case DashboardSection::projects:
            return makeProjectsPage(store, &view);
        case DashboardSection::settings:
            break;
    }
    if (metric) return filtered(metric, view);
    auto* page = new QWidget(&view);
    const bool dark = Theme::isDark(&view);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 16, 28, 20);
    layout->setSpacing(6);
    layout->addWidget(makeLabel(titleOf(section), 20, QFont::Bold, Theme::Role::text, dark, page));
    auto* purpose = makeLabel(qs(DashboardSections::purpose(section)), 11, QFont::Normal,
                              Theme::Role::secondaryText, dark, page);
    purpose->setWordWrap(true);
    layout->addWidget(purpose);
    layout->addSpacing(10);
    if (section == DashboardSection::settings) return settingsPage(store, page, layout);
    layout->addStretch();
    return page;
}

QWidget* DashboardView::makeRail() {
    auto* rail = new Rail(this);
    rail->setFixedWidth(railWidth);
    auto* layout = new QVBoxLayout(rail);
    layout->setContentsMargins(10, 14, 10, 14);
    layout->setSpacing(2);
    auto* name = new QLabel("Tarvik", rail);
    name->setFont(Theme::font(13, QFont::Bold));
    name->setContentsMargins(10, 0, 0, 10);
    layout->addWidget(name);
    for (DashboardSection section : DashboardSections::all) {
        auto* button = new RailButton(section, rail);
        connect(button, &QAbstractButton::clicked, this, [this, section] { select(section); });
        layout->addWidget(button);
        m_railButtons[section] = button;
    }
    layout->addStretch();
    return rail;
}

QWidget* DashboardView::makeBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 10, 16, 10);
    layout->setSpacing(2);
    auto button = [&](const char* name, const QString& tip, auto action) {
        auto* result = new SymbolButton("", QColor(), bar, 16);
        result->setObjectName(name);
        result->setToolTip(tip);
        connect(result, &QAbstractButton::clicked, this, action);
        layout->addWidget(result);
        return result;
    };
    m_railToggle = button("railToggle", "Hide pages", [this] { setRailShown(!m_railShown); });
    layout->addSpacing(6);
    m_backButton = button("back", "Back", [this] { goBack(); });
    m_forwardButton = button("forward", "Forward", [this] { goForward(); });
    layout->addStretch();

    m_search = new QLineEdit(bar);
    m_search->setObjectName("search");
    m_search->setPlaceholderText("Find an app");
    m_search->setFont(Theme::font(10.5));
    m_search->setFixedWidth(240);
    m_searchSymbol = m_search->addAction(QIcon(), QLineEdit::LeadingPosition);
    m_clear = m_search->addAction(QIcon(), QLineEdit::TrailingPosition);
    m_clear->setText("Clear");
    m_clear->setToolTip("Clear");
    m_clear->setVisible(false);
    connect(m_clear, &QAction::triggered, m_search, &QLineEdit::clear);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clear->setVisible(!text.isEmpty());
        emit queryChanged(text);
    });
    layout->addWidget(m_search);
    return bar;
}

void DashboardView::restyle() {
    const bool dark = Theme::isDark(this);
    const QColor symbols = Theme::color(Theme::Role::secondaryText, dark);
    m_railToggle->setSymbol("sidebar-simple", symbols);
    m_backButton->setSymbol("caret-left", symbols);
    m_forwardButton->setSymbol("caret-right", symbols);
    m_searchSymbol->setIcon(
        Icons::symbolIcon("magnifying-glass", Theme::color(Theme::Role::tertiaryText, dark), 14));
    m_clear->setIcon(Icons::symbolIcon("x", symbols, 12));
}

QWidget* DashboardView::page(DashboardSection section) {
    if (auto made = m_made.find(section); made != m_made.end()) return made->second;
    QWidget* result =
        installedFactory ? installedFactory(section, m_store, *this) : defaultPage(section, m_store, *this);
    m_pages->addWidget(result);
    m_made[section] = result;
    return result;
}

void DashboardView::select(DashboardSection section) {
    if (section == m_selection) return;
    m_back.push_back(m_selection);
    m_forward.clear();
    showSection(section);
}

void DashboardView::reset(DashboardSection section) {
    m_back.clear();
    m_forward.clear();
    setQuery({});
    showSection(section);
}

void DashboardView::goBack() {
    step(m_back, m_forward);
}

void DashboardView::goForward() {
    step(m_forward, m_back);
}

void DashboardView::step(std::vector<DashboardSection>& from, std::vector<DashboardSection>& to) {
    if (from.empty()) return;
    to.push_back(m_selection);
    const DashboardSection next = from.back();
    from.pop_back();
    showSection(next);
}

void DashboardView::showSection(DashboardSection section) {
    m_selection = section;
    m_pages->setCurrentWidget(page(section));
    m_strip->setCurrent(section);
    for (auto [shown, button] : m_railButtons) button->setChecked(shown == section);
    m_backButton->setEnabled(canGoBack());
    m_forwardButton->setEnabled(canGoForward());
    preview(std::nullopt);
    if (section == DashboardSection::disk) m_store.checks().scanStorage(false);
}

QString DashboardView::query() const {
    return m_search->text();
}

void DashboardView::setQuery(const QString& query) {
    m_search->setText(query);
}

void DashboardView::setRailShown(bool shown) {
    m_railShown = shown;
    m_rail->setVisible(shown);
    m_railToggle->setToolTip(shown ? "Hide pages" : "Show pages");
}

void DashboardView::preview(std::optional<DashboardSection> section) {
    if (!section || *section == m_selection) {
        m_preview->hide();
        return;
    }
    QWidget* shown = page(*section);
    // A page that was never on view has not been laid out yet.
    shown->resize(m_pages->size());
    if (shown->layout()) shown->layout()->activate();
    const QRect tile = m_strip->globalFrame(*section);
    m_preview->present(shown->grab(), titleOf(*section), tile);
}

void DashboardView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Theme::color(Theme::Role::background, Theme::isDark(this)));
}

void DashboardView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && m_railToggle) {
        restyle();
        if (Theme::isDark(this) != m_dark) {
            m_dark = !m_dark;
            // Not while the palette is still being handed down to the pages.
            QMetaObject::invokeMethod(this, &DashboardView::remakePages, Qt::QueuedConnection);
        }
    }
    QWidget::changeEvent(event);
}

void DashboardView::remakePages() {
    for (auto& [section, made] : m_made) {
        m_pages->removeWidget(made);
        made->deleteLater();
    }
    m_made.clear();
    m_pages->setCurrentWidget(page(m_selection));
}

}  // namespace tarvik::ui
