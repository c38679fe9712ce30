#include "ui/views/SettingsView.hpp"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ToggleSwitch.hpp"

namespace tarvik::ui {

namespace {

constexpr int formWidth = 620;  // the widest the form grows in a wide host

}  // namespace

struct SettingsView::Switch {
    const char* label;
    const char* detail;  // nullptr for none
    bool (ServerStore::*get)() const;
    void (ServerStore::*set)(bool);
};

SettingsView::SettingsView(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = pageScrollArea(this);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* centred = new QHBoxLayout(content);
    centred->setContentsMargins(Theme::Space::xxl, Theme::Space::l, Theme::Space::xxl, Theme::Space::xxl);
    auto* form = new QWidget(content);
    form->setMaximumWidth(formWidth);
    centred->addWidget(form);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(Theme::Space::s);

    auto* display = section(column, tr("Display"));
    addSwitch(display,
              {QT_TR_NOOP("Show system listeners"), QT_TR_NOOP("Include Linux and background-app ports"),
               &ServerStore::showSystemServers, &ServerStore::setShowSystemServers});

    auto* notifications = section(column, tr("Notifications"));
    addSwitch(notifications,
              {QT_TR_NOOP("Notify on start & stop"), QT_TR_NOOP("Banner when a dev server begins or stops"),
               &ServerStore::notificationsEnabled, &ServerStore::setNotificationsEnabled});
    addSwitch(notifications,
              {QT_TR_NOOP("Computer gets hot"), QT_TR_NOOP("Names the app behind it and what to do"),
               &ServerStore::alertOnHeat, &ServerStore::setAlertOnHeat});
    addSwitch(notifications,
              {QT_TR_NOOP("Memory keeps growing"), QT_TR_NOOP("A server gains 500 MB or more in 30 minutes"),
               &ServerStore::alertOnMemoryGrowth, &ServerStore::setAlertOnMemoryGrowth});
    addSwitch(notifications,
              {QT_TR_NOOP("CPU stays high"), QT_TR_NOOP("A server averages over 80% for 10 minutes"),
               &ServerStore::alertOnHighCPU, &ServerStore::setAlertOnHighCPU});
    auto* testRow = row(notifications);
    m_testNotification = new QPushButton(tr("Send Test Notification"), testRow->parentWidget());
    m_testNotification->setFont(Theme::font(Theme::Text::bodyLarge));
    m_testNotification->setCursor(Qt::PointingHandCursor);
    testRow->addWidget(m_testNotification);
    testRow->addStretch();
    connect(m_testNotification, &QPushButton::clicked, this, [this] { m_store.sendTestNotification(); });

    auto* general = section(column, tr("General"));
    addSwitch(general, {QT_TR_NOOP("Launch at login"), nullptr, &ServerStore::launchAtLogin,
                        &ServerStore::setLaunchAtLogin});
    auto* picker = row(general);
    picker->addWidget(
        label(picker->parentWidget(), tr("Menu bar shows"), Theme::Text::bodyLarge, Theme::Role::text));
    picker->addStretch();
    m_menuBarDisplay = new QComboBox(picker->parentWidget());
    m_menuBarDisplay->setFont(Theme::font(Theme::Text::bodyLarge));
    m_menuBarDisplay->setAccessibleName(tr("Menu bar shows"));
    for (auto choice : MenuBarDisplays::all) m_menuBarDisplay->addItem(MenuBarDisplays::title(choice));
    picker->addWidget(m_menuBarDisplay);
    connect(m_menuBarDisplay, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || index >= static_cast<int>(MenuBarDisplays::all.size())) return;
        m_store.setMenuBarDisplay(MenuBarDisplays::all[static_cast<std::size_t>(index)]);
        refresh();
    });

    column->addSpacing(Theme::Space::xxl);
    column->addWidget(footer(form));
    column->addStretch();
    // Added last: the scroll area takes its size from the finished form.
    scroll->setWidget(content);
    content->setAutoFillBackground(false);  // setWidget turns it on

    connect(&m_store, &ServerStore::changed, this, &SettingsView::refresh);
    restyle();
    refresh();
}

Card* SettingsView::section(QVBoxLayout* column, const QString& title) {
    if (column->count() > 0) column->addSpacing(Theme::Space::l);
    auto* header = label(column->parentWidget(), title, Theme::Text::body, Theme::Role::secondaryText);
    header->setFont(Theme::font(Theme::Text::body, QFont::DemiBold));
    header->setContentsMargins(Theme::Space::xs, 0, 0, 0);
    column->addWidget(header);
    auto* card = new Card(column->parentWidget());
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    column->addWidget(card);
    return card;
}

QHBoxLayout* SettingsView::row(Card* card) {
    auto* line = new QWidget(card);
    line->setMinimumHeight(40);
    auto* result = new QHBoxLayout(line);
    result->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::xl, Theme::Space::m);
    result->setSpacing(Theme::Space::l);
    card->layout()->addWidget(line);
    return result;
}

void SettingsView::addSwitch(Card* card, const Switch& setting) {
    auto* layout = row(card);
    QWidget* line = layout->parentWidget();
    auto* texts = new QVBoxLayout;
    texts->setSpacing(Theme::Space::hairline);
    texts->addWidget(label(line, tr(setting.label), Theme::Text::bodyLarge, Theme::Role::text));
    if (setting.detail) {
        auto* detail = label(line, tr(setting.detail), Theme::Text::callout, Theme::Role::secondaryText);
        detail->setWordWrap(true);
        texts->addWidget(detail);
    }
    layout->addLayout(texts, 1);
    auto* toggle = new ToggleSwitch(line);
    toggle->setAccessibleName(tr(setting.label));
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    m_switches.emplace_back(toggle, setting.get);
    connect(toggle, &QAbstractButton::toggled, this, [this, set = setting.set](bool on) {
        // Not `(m_store.*set)(on)`: GCC 12's vptr check reads a wrong address for that call in
        // this lambda and stops the sanitizer build.
        std::invoke(set, m_store, on);
        refresh();
    });
}

QLabel* SettingsView::label(QWidget* parent, const QString& text, Theme::Text style, Theme::Role role) {
    auto* result = new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText);
    result->setFont(Theme::font(style));
    Theme::setForeground(result, role);
    return result;
}

QWidget* SettingsView::footer(QWidget* parent) {
    auto* result = new QWidget(parent);
    auto* lines = new QVBoxLayout(result);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(Theme::Space::xs);

    auto* version = new QHBoxLayout;
    version->setSpacing(Theme::Space::xs);
    version->addStretch();
    version->addWidget(label(result, tr("Tarvik %1").arg(QString::fromStdString(m_store.version())),
                             Theme::Text::body, Theme::Role::secondaryText));
    m_checkForUpdates = new QToolButton(result);
    m_checkForUpdates->setAutoRaise(true);
    m_checkForUpdates->setCursor(Qt::PointingHandCursor);
    m_checkForUpdates->setIconSize({12, 12});
    m_checkForUpdates->setToolTip(tr("Check for Updates"));
    m_checkForUpdates->setAccessibleName(tr("Check for Updates"));
    connect(m_checkForUpdates, &QToolButton::clicked, this, [this] { m_store.checkForUpdates(); });
    version->addWidget(m_checkForUpdates);
    version->addStretch();
    lines->addLayout(version);

    m_link = new QLabel(result);
    m_link->setFont(Theme::font(Theme::Text::body));
    m_link->setTextFormat(Qt::RichText);
    m_link->setOpenExternalLinks(true);
    m_link->setAlignment(Qt::AlignHCenter);
    lines->addWidget(m_link);

    auto* credit = new QHBoxLayout;
    credit->setSpacing(Theme::Space::xs);
    credit->addStretch();
    credit->addWidget(label(result, tr("Made with"), Theme::Text::callout, Theme::Role::tertiaryText));
    auto* heart = new QLabel(result);
    Theme::follow(heart, [heart] {
        heart->setPixmap(
            Icons::symbol("heart.fill", Theme::tint(TintToken::pink, heart), 11, heart->devicePixelRatioF()));
    });
    credit->addWidget(heart);
    credit->addWidget(
        label(result, tr("for busy localhosts"), Theme::Text::callout, Theme::Role::tertiaryText));
    credit->addStretch();
    lines->addLayout(credit);
    return result;
}

void SettingsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Set here rather than on the widgets themselves: a style sheet changes their palette.
    if (event->type() == QEvent::PaletteChange && m_link) restyle();
}

void SettingsView::restyle() {
    auto colour = [this](Theme::Role role) { return Theme::color(role, this).name(); };
    m_testNotification->setStyleSheet(
        QString(
            "QPushButton { border: 1px solid %1; border-radius: %5px; padding: %6px %7px; background: %2; "
            "color: %3; } QPushButton:hover { background: %4; } QPushButton:pressed { background: %1; }")
            .arg(colour(Theme::Role::separator), colour(Theme::Role::card), colour(Theme::Role::accent),
                 colour(Theme::Role::background))
            .arg(Theme::Radius::s)
            .arg(Theme::Space::xs)
            .arg(Theme::Space::l));
    m_checkForUpdates->setIcon(
        Icons::symbolIcon("arrow.triangle.2.circlepath", Theme::color(Theme::Role::secondaryText, this), 12));
    m_link->setText(QString("<a href=\"https://%2\" style=\"color: %1; text-decoration: none;\">%2</a>")
                        .arg(colour(Theme::Role::accent), QString::fromLatin1(productWebSite)));
}

void SettingsView::refresh() {
    for (auto [toggle, get] : m_switches) {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(std::invoke(get, m_store));
    }
    const auto& all = MenuBarDisplays::all;
    const QSignalBlocker quiet(m_menuBarDisplay);
    m_menuBarDisplay->setCurrentIndex(
        static_cast<int>(std::find(all.begin(), all.end(), m_store.menuBarDisplay()) - all.begin()));
}

}  // namespace tarvik::ui
