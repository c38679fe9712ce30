#pragma once

#include <QWidget>
#include <utility>
#include <vector>

#include "ui/views/Theme.hpp"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tarvik::ui {

class Card;
class ServerStore;
class ToggleSwitch;

// The settings form: a switch per setting, the test notification, the menu-bar choice, and a
// footer with the version, the update check, the web site and the credit. Every control writes
// through the store's setter at once and shows the store's value after each change, so a setting
// the desktop refuses (launch at login) springs back. Fits the panel's width and scrolls; in a
// wider host the form stays a readable column in the middle.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(ServerStore& store, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Switch;

    Card* section(QVBoxLayout* column, const QString& title);
    void addSwitch(Card* card, const Switch& setting);
    QHBoxLayout* row(Card* card);
    QLabel* label(QWidget* parent, const QString& text, Theme::Text style, Theme::Role role);
    QWidget* footer(QWidget* parent);
    void refresh();
    void restyle();

    ServerStore& m_store;
    std::vector<std::pair<ToggleSwitch*, bool (ServerStore::*)() const>> m_switches;
    QPushButton* m_testNotification = nullptr;
    QComboBox* m_menuBarDisplay = nullptr;
    QToolButton* m_checkForUpdates = nullptr;
    QLabel* m_link = nullptr;
};

}  // namespace tarvik::ui
