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

#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreNotifications.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/ToggleSwitch.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

QString worded(std::string_view text) {
    return QString::fromStdString(Words::text(text));
}

constexpr int formWidth = 620;  // the widest the form grows in a wide host

}  // namespace

struct SettingsView::Switch {
    const char* label;
    const char* detail;  // nullptr for none
    bool (StoreSettings::*get)() const;
    void (StoreSettings::*set)(bool);
};

SettingsView::SettingsView(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = pageScrollArea(this);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* centred = new QHBoxLayout(content);
    centred->setContentsMargins(14, 10, 14, 14);
    auto* form = new QWidget(content);
    form->setMaximumWidth(formWidth);
    centred->addWidget(form);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto* display = section(column, "Display");
    addSwitch(display, {"Show system listeners", "Include macOS and background-app ports",
                        &StoreSettings::showSystemServers, &StoreSettings::setShowSystemServers});

    auto* notifications = section(column, "Notifications");
    addSwitch(notifications, {"Notify on start & stop", "Banner when a dev server begins or stops",
                              &StoreSettings::notificationsEnabled, &StoreSettings::setNotificationsEnabled});
    addSwitch(notifications, {"Mac gets hot", "Names the app behind it and what to do",
                              &StoreSettings::alertOnHeat, &StoreSettings::setAlertOnHeat});
    addSwitch(notifications, {"Memory keeps growing", "A server gains 500 MB or more in 30 minutes",
                              &StoreSettings::alertOnMemoryGrowth, &StoreSettings::setAlertOnMemoryGrowth});
    addSwitch(notifications, {"CPU stays high", "A server averages over 80% for 10 minutes",
                              &StoreSettings::alertOnHighCPU, &StoreSettings::setAlertOnHighCPU});
    auto* testRow = row(notifications);
    m_testNotification = new QPushButton(worded("Send Test Notification"), testRow->parentWidget());
    m_testNotification->setFont(Theme::font(12));
    m_testNotification->setCursor(Qt::PointingHandCursor);
    testRow->addWidget(m_testNotification);
    testRow->addStretch();
    connect(m_testNotification, &QPushButton::clicked, this,
            [this] { m_store.notifications().sendTestNotification(); });

    auto* general = section(column, "General");
    addSwitch(general,
              {"Launch at login", nullptr, &StoreSettings::launchAtLogin, &StoreSettings::setLaunchAtLogin});
    auto* picker = row(general);
    picker->addWidget(
        label(picker->parentWidget(), worded("Menu bar shows"), Theme::font(12), Theme::Role::text));
    picker->addStretch();
    m_menuBarDisplay = new QComboBox(picker->parentWidget());
    m_menuBarDisplay->setFont(Theme::font(12));
    for (auto choice : MenuBarDisplays::all)
        m_menuBarDisplay->addItem(worded(MenuBarDisplays::title(choice)));
    picker->addWidget(m_menuBarDisplay);
    connect(m_menuBarDisplay, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || index >= static_cast<int>(MenuBarDisplays::all.size())) return;
        m_store.settings().setMenuBarDisplay(MenuBarDisplays::all[static_cast<std::size_t>(index)]);
        refresh();
    });

    column->addSpacing(14);
    column->addWidget(footer(form));
    column->addStretch();
    // Added last: the scroll area takes its size from the finished form.
    scroll->setWidget(content);
    content->setAutoFillBackground(false);  // setWidget turns it on

    connect(&m_store, &ServerStore::changed, this, &SettingsView::refresh);
    restyle();
    refresh();
}

Card* SettingsView::section(QVBoxLayout* column, const char* title) {
    if (column->count() > 0) column->addSpacing(10);
    auto* header = label(column->parentWidget(), worded(title), Theme::font(11, QFont::DemiBold),
                         Theme::Role::secondaryText);
    header->setContentsMargins(4, 0, 0, 0);
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
    result->setContentsMargins(12, 8, 12, 8);
    result->setSpacing(10);
    card->layout()->addWidget(line);
    return result;
}

void SettingsView::addSwitch(Card* card, const Switch& setting) {
    auto* layout = row(card);
    QWidget* line = layout->parentWidget();
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(label(line, worded(setting.label), Theme::font(12), Theme::Role::text));
    if (setting.detail) {
        auto* detail = label(line, worded(setting.detail), Theme::font(10.5), Theme::Role::secondaryText);
        detail->setWordWrap(true);
        texts->addWidget(detail);
    }
    layout->addLayout(texts, 1);
    auto* toggle = new ToggleSwitch(line);
    toggle->setAccessibleName(worded(setting.label));
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    m_switches.emplace_back(toggle, setting.get);
    connect(toggle, &QAbstractButton::toggled, this, [this, set = setting.set](bool on) {
        // Not `(m_store.*set)(on)`: GCC 12's vptr check reads a wrong address for that call in
        // this lambda and stops the sanitizer build.
        std::invoke(set, m_store.settings(), on);
        refresh();
    });
}

QLabel* SettingsView::label(QWidget* parent, const QString& text, const QFont& font, Theme::Role role) {
    auto* result = new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText);
    result->setFont(font);
    m_coloured.emplace_back(result, role);
    return result;
}

QWidget* SettingsView::footer(QWidget* parent) {
    auto* result = new QWidget(parent);
    auto* lines = new QVBoxLayout(result);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(4);

    auto* version = new QHBoxLayout;
    version->setSpacing(4);
    version->addStretch();
    version->addWidget(label(result, QString::fromStdString("Tarvik " + m_store.version()), Theme::font(11),
                             Theme::Role::secondaryText));
    m_checkForUpdates = new QToolButton(result);
    m_checkForUpdates->setAutoRaise(true);
    m_checkForUpdates->setCursor(Qt::PointingHandCursor);
    m_checkForUpdates->setIconSize({12, 12});
    m_checkForUpdates->setToolTip("Check for Updates");
    m_checkForUpdates->setAccessibleName("Check for Updates");
    connect(m_checkForUpdates, &QToolButton::clicked, this, [this] { m_store.actions().checkForUpdates(); });
    version->addWidget(m_checkForUpdates);
    version->addStretch();
    lines->addLayout(version);

    m_link = new QLabel(result);
    m_link->setFont(Theme::font(11));
    m_link->setTextFormat(Qt::RichText);
    m_link->setOpenExternalLinks(true);
    m_link->setAlignment(Qt::AlignHCenter);
    lines->addWidget(m_link);

    auto* credit = new QHBoxLayout;
    credit->setSpacing(4);
    credit->addStretch();
    credit->addWidget(label(result, worded("Made with"), Theme::font(10.5), Theme::Role::tertiaryText));
    m_heart = new QLabel(result);
    credit->addWidget(m_heart);
    credit->addWidget(
        label(result, worded("for busy localhosts"), Theme::font(10.5), Theme::Role::tertiaryText));
    credit->addStretch();
    lines->addLayout(credit);
    return result;
}

void SettingsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_heart) restyle();
}

void SettingsView::restyle() {
    const bool dark = Theme::isDark(this);
    auto colour = [dark](Theme::Role role) { return Theme::color(role, dark).name(); };
    for (auto [widget, role] : m_coloured) setForeground(widget, Theme::color(role, dark));
    m_testNotification->setStyleSheet(
        QString("QPushButton { border: 1px solid %1; border-radius: 6px; padding: 4px 10px; background: %2; "
                "color: %3; } QPushButton:hover { background: %4; } QPushButton:pressed { background: %1; }")
            .arg(colour(Theme::Role::separator), colour(Theme::Role::card), colour(Theme::Role::accent),
                 colour(Theme::Role::background)));
    m_checkForUpdates->setIcon(
        Icons::symbolIcon("arrow.triangle.2.circlepath", Theme::color(Theme::Role::secondaryText, dark), 12));
    m_link->setText(QString("<a href=\"https://tarvik.app\" style=\"color: %1; text-decoration: none;\">"
                            "tarvik.app</a>")
                        .arg(colour(Theme::Role::accent)));
    m_heart->setPixmap(
        Icons::symbol("heart.fill", Theme::tint(TintToken::pink, dark), 11, m_heart->devicePixelRatioF()));
}

void SettingsView::refresh() {
    for (auto [toggle, get] : m_switches) {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(std::invoke(get, m_store.settings()));
    }
    const auto& all = MenuBarDisplays::all;
    const QSignalBlocker quiet(m_menuBarDisplay);
    m_menuBarDisplay->setCurrentIndex(static_cast<int>(
        std::find(all.begin(), all.end(), m_store.settings().menuBarDisplay()) - all.begin()));
}

}  // namespace tarvik::ui
