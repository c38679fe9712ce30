#include "app/DashboardWindow.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include "app/ClosedViews.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::app {

namespace {

QSize firstSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? ui::DashboardView::sizesFor(screen->availableGeometry().size()).size
                  : ui::Theme::Size::dashboard;
}

}  // namespace

class DashboardWindow::Window : public QMainWindow {
public:
    explicit Window(DashboardWindow& owner) : m_owner(owner) {
        setWindowTitle(DashboardWindow::tr("Tarvik"));
        // The view keeps the least size that its screen allows.
        resize(firstSize());
        // Window managers give a close button; Ctrl+W also serves where none frames the window.
        new QShortcut(QKeySequence::Close, this, this, &QWidget::close);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_owner.m_store) {
            m_owner.m_store->settings().setDashboardGeometry(saveGeometry());
            m_owner.m_store->setDashboardIsOpen(false);
        }
        event->accept();
    }

    ~Window() override { releaseClosedViewMemory(); }

private:
    DashboardWindow& m_owner;
};

DashboardWindow& DashboardWindow::shared() {
    static DashboardWindow instance;
    return instance;
}

void DashboardWindow::show(ui::ServerStore& store, ui::DashboardSection section) {
    const bool created = !m_window;
    if (created) {
        m_window = new Window(*this);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        auto geometry = store.settings().dashboardGeometry();
        if (geometry.isEmpty() || !m_window->restoreGeometry(geometry)) m_window->resize(firstSize());
    }
    auto* view = qobject_cast<ui::DashboardView*>(m_window->centralWidget());
    if (view && m_store == &store) {
        view->reset(section);
    } else {
        m_store = &store;
        m_window->setCentralWidget(new ui::DashboardView(store, section));
    }
    store.setDashboardIsOpen(true);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // No control starts focused.
    QTimer::singleShot(0, m_window, [window = m_window] {
        if (window && window->focusWidget()) window->focusWidget()->clearFocus();
    });
}

ui::DashboardSection DashboardWindow::section() const {
    auto* view = m_window ? qobject_cast<ui::DashboardView*>(m_window->centralWidget()) : nullptr;
    return view ? view->selection() : ui::DashboardSection::overview;
}

void DashboardWindow::showDefault() {
    if (defaultStore) show(*defaultStore, ui::DashboardSection::overview);
}

}  // namespace tarvik::app
