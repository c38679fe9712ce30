#pragma once

#include <QMainWindow>
#include <QPointer>

#include "ui/ServerStore.hpp"
#include "ui/views/DashboardSection.hpp"

namespace tarvik::app {

// The one dashboard window: made on first use and shown again on the section asked for. Closing it
// frees it: a tray app lives for days, and a window nobody looks at should not keep its pages.
class DashboardWindow : public QObject {
    Q_OBJECT

public:
    static DashboardWindow& shared();

    // The store every opening without one of its own shows; set once the app has made it.
    ui::ServerStore* defaultStore = nullptr;

    void show(ui::ServerStore& store, ui::DashboardSection section);
    // The default store's overview; nothing without a default store.
    void showDefault();
    [[nodiscard]] QMainWindow* window() const { return m_window; }
    // The section on view; overview before the window is made.
    [[nodiscard]] ui::DashboardSection section() const;

private:
    class Window;
    QPointer<QMainWindow> m_window;
    QPointer<ui::ServerStore> m_store;  // the one the view shows; cleared when it goes
};

}  // namespace tarvik::app
