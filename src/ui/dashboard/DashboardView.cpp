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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/dashboard/DashboardKeys.hpp"
#include "ui/dashboard/StageStrip.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/Toast.hpp"

namespace tarvik::ui {

namespace {

DashboardView::PageFactory installedFactory;

constexpr int railWidth = Theme::Size::sidebar;
// What a window manager's title bar and borders may take round the window.
constexpr QSize frameRoom{16, 40};
constexpr int searchWidth = 240;

QString titleOf(DashboardSection section) {
    return DashboardSections::titleText(section);
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
        setFont(Theme::font(Theme::Text::callout, QFont::Medium));
    }
    [[nodiscard]] QSize sizeHint() const override { return {railWidth - 2 * Theme::Space::l, 30}; }

    // Up and Down move by one section: -1 or 1.
    std::function<void(int)> onStep;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int step = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1 : 0;
        if (step == 0 || !onStep) return QAbstractButton::keyPressEvent(event);
        onStep(step);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isChecked() || underMouse()) {
            QColor fill = Theme::color(Theme::Role::text, this);
            fill.setAlpha(isChecked() ? 26 : 14);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(QRectF(rect()), Theme::Radius::s, Theme::Radius::s);
        }
        const QColor tint = Theme::tint(DashboardSections::tint(m_section), this);
        painter.drawPixmap(
            Theme::Space::l, (height() - symbolSize) / 2,
            Icons::symbol(DashboardSections::symbol(m_section), tint, symbolSize, devicePixelRatioF()));
        painter.setPen(Theme::color(Theme::Role::text, this));
        painter.drawText(rect().adjusted(2 * Theme::Space::l + symbolSize, 0, -Theme::Space::m, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    static constexpr int symbolSize = 16;
    DashboardSection m_section;
};

// The rail's ground, a shade off the page's, with a hairline towards the page.
class Rail : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::color(Theme::Role::card, this));
        painter.setPen(Theme::color(Theme::Role::separator, this));
        painter.drawLine(width() - 1, 0, width() - 1, height());
    }
};

QWidget* settingsPage(ServerStore& store, QWidget* page, QVBoxLayout* layout) {
    layout->addWidget(new SettingsView(store, page), 1);
    auto* card = new Card(page, Card::Look::outlined);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::xxl, Theme::Space::xl);
    row->setSpacing(Theme::Space::xxl);
    auto* quit = new CapsuleButton(DashboardView::tr("Quit Tarvik"), CapsuleButton::Style::destructive, card);
    QObject::connect(quit, &QAbstractButton::clicked, qApp, &QCoreApplication::quit);
    auto* line = makeLabel(
        DashboardView::tr("Stops measuring and removes Tarvik from the tray. Ctrl+Q does the same."),
        Theme::Text::footnote, Theme::Role::secondaryText, card);
    line->setWordWrap(true);
    row->addWidget(quit);
    row->addWidget(line, 1);
    layout->addWidget(card);
    return page;
}

}  // namespace

DashboardView::DashboardView(ServerStore& store, DashboardSection initial, QWidget* parent)
    : QWidget(parent), m_store(store), m_selection(initial) {
    new DashboardKeys(this);
    setMinimumSize(sizes().minimum);
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
    m_strip->setContentsMargins(Theme::Space::xxxl, 0, Theme::Space::xxxl, Theme::Space::s);
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

DashboardView::Sizes DashboardView::sizesFor(QSize available) {
    const QSize size = Theme::Size::dashboard.boundedTo(available - frameRoom);
    return {size, Theme::Size::dashboardMinimum.boundedTo(size)};
}

DashboardView::Sizes DashboardView::sizes() const {
    const QScreen* shown = screen();
    return sizesFor(shown ? shown->availableGeometry().size() : Theme::Size::dashboard + frameRoom);
}

void DashboardView::fitScreen() {
    setMinimumSize(sizes().minimum);
    const QScreen* shown = screen();
    QWidget* frame = window();
    if (!shown) return;
    const QSize room = (shown->availableGeometry().size() - frameRoom).expandedTo(frame->minimumSize());
    if (frame->size() != frame->size().boundedTo(room)) frame->resize(frame->size().boundedTo(room));
}

void DashboardView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    setMinimumSize(sizes().minimum);
    // Only a move to another screen shrinks the window: a size given on purpose stays.
    QWindow* handle = window()->windowHandle();
    if (handle && handle != m_watched) {
        m_watched = handle;
        connect(handle, &QWindow::screenChanged, this, &DashboardView::fitScreen);
    }
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
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(Theme::Space::page, Theme::Space::xxxl, Theme::Space::page,
                               Theme::Space::huge);
    layout->setSpacing(Theme::Space::s);
    layout->addWidget(makeLabel(titleOf(section), Theme::Text::title, Theme::Role::text, page));
    auto* purpose = makeLabel(DashboardSections::purposeText(section), Theme::Text::body,
                              Theme::Role::secondaryText, page);
    purpose->setWordWrap(true);
    layout->addWidget(purpose);
    layout->addSpacing(Theme::Space::l);
    if (section == DashboardSection::settings) return settingsPage(store, page, layout);
    layout->addStretch();
    return page;
}

QWidget* DashboardView::makeRail() {
    auto* rail = new Rail(this);
    rail->setFixedWidth(railWidth);
    auto* layout = new QVBoxLayout(rail);
    layout->setContentsMargins(Theme::Space::l, Theme::Space::xxl, Theme::Space::l, Theme::Space::xxl);
    layout->setSpacing(Theme::Space::xxs);
    auto* name = new QLabel(tr("Tarvik"), rail);
    name->setFont(Theme::font(Theme::Text::headline));
    name->setContentsMargins(Theme::Space::l, 0, 0, Theme::Space::l);
    layout->addWidget(name);
    for (std::size_t index = 0; index < DashboardSections::all.size(); ++index) {
        const DashboardSection section = DashboardSections::all[index];
        auto* button = new RailButton(section, rail);
        connect(button, &QAbstractButton::clicked, this, [this, section] { select(section); });
        button->onStep = [this, index](int step) {
            const auto next = static_cast<std::ptrdiff_t>(index) + step;
            if (next < 0 || next >= static_cast<std::ptrdiff_t>(DashboardSections::all.size())) return;
            const DashboardSection neighbour = DashboardSections::all[static_cast<std::size_t>(next)];
            select(neighbour);
            m_railButtons[neighbour]->setFocus(Qt::TabFocusReason);
        };
        layout->addWidget(button);
        m_railButtons[section] = button;
    }
    layout->addStretch();
    return rail;
}

QWidget* DashboardView::makeBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(Theme::Space::xl, Theme::Space::l, Theme::Space::xxxl, Theme::Space::l);
    layout->setSpacing(Theme::Space::xxs);
    auto button = [&](const char* name, std::string_view symbol, const QString& tip, auto action) {
        auto* result = new SymbolButton(symbol, Theme::Role::secondaryText, bar, 16);
        result->setObjectName(name);
        result->setToolTip(tip);
        result->setAccessibleName(tip);
        connect(result, &QAbstractButton::clicked, this, action);
        layout->addWidget(result);
        return result;
    };
    m_railToggle =
        button("railToggle", "sidebar-simple", tr("Hide pages"), [this] { setRailShown(!m_railShown); });
    layout->addSpacing(Theme::Space::s);
    m_backButton = button("back", "caret-left", tr("Back"), [this] { goBack(); });
    m_forwardButton = button("forward", "caret-right", tr("Forward"), [this] { goForward(); });
    layout->addStretch();

    m_search = new QLineEdit(bar);
    m_search->setObjectName("search");
    m_search->setPlaceholderText(tr("Find an app"));
    m_search->setAccessibleName(tr("Find an app"));
    m_search->setFont(Theme::font(Theme::Text::callout));
    m_search->setFixedWidth(searchWidth);
    m_searchSymbol = m_search->addAction(QIcon(), QLineEdit::LeadingPosition);
    m_clear = m_search->addAction(QIcon(), QLineEdit::TrailingPosition);
    m_clear->setText(tr("Clear"));
    m_clear->setToolTip(tr("Clear"));
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
    m_searchSymbol->setIcon(
        Icons::symbolIcon("magnifying-glass", Theme::color(Theme::Role::tertiaryText, this), 14));
    m_clear->setIcon(Icons::symbolIcon("x", Theme::color(Theme::Role::secondaryText, this), 12));
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
    // A click on the section on view would otherwise leave its tile and rail row unmarked.
    if (section == m_selection) return markSelection();
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
    markSelection();
    m_backButton->setEnabled(canGoBack());
    m_forwardButton->setEnabled(canGoForward());
    preview(std::nullopt);
    if (section == DashboardSection::disk) m_store.checks().scanStorage(false);
}

void DashboardView::markSelection() {
    m_strip->setCurrent(m_selection);
    for (auto [shown, button] : m_railButtons) button->setChecked(shown == m_selection);
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
    m_railToggle->setToolTip(shown ? tr("Hide pages") : tr("Show pages"));
    m_railToggle->setAccessibleName(m_railToggle->toolTip());
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
    QPainter(this).fillRect(rect(), Theme::color(Theme::Role::background, this));
}

void DashboardView::changeEvent(QEvent* event) {
    // The pages and buttons follow the palette by themselves; the search field's icons are pictures.
    if (event->type() == QEvent::PaletteChange && m_searchSymbol) restyle();
    QWidget::changeEvent(event);
}

}  // namespace tarvik::ui
