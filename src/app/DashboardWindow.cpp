#include "app/DashboardWindow.hpp"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/views/Theme.hpp"

namespace tarvik::app {

class DashboardWindow::Window : public QMainWindow {
public:
    explicit Window(DashboardWindow& owner) : m_owner(owner) {
        setWindowTitle("Tarvik");
        setMinimumSize(860, 560);
        resize(1120, 760);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_owner.m_store) {
            m_owner.m_store->setDashboardGeometry(saveGeometry());
            m_owner.m_store->setDashboardIsOpen(false);
        }
        hide();
        event->ignore();
    }

private:
    DashboardWindow& m_owner;
};

namespace {

// The page of a section until the dashboard's own pages take its place.
QWidget* page(ui::DashboardSection section) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(32, 28, 32, 28);
    auto* title = new QLabel(QString::fromUtf8(ui::DashboardSections::title(section).data()));
    title->setFont(ui::Theme::font(22, QFont::Bold));
    auto* purpose = new QLabel(QString::fromUtf8(ui::DashboardSections::purpose(section).data()));
    layout->addWidget(title);
    layout->addWidget(purpose);
    layout->addStretch();
    return page;
}

}  // namespace

DashboardWindow& DashboardWindow::shared() {
    static DashboardWindow instance;
    return instance;
}

void DashboardWindow::show(ui::ServerStore& store, ui::DashboardSection section) {
    const bool created = !m_window;
    if (created) {
        m_window = new Window(*this);
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        auto geometry = store.dashboardGeometry();
        if (geometry.isEmpty() || !m_window->restoreGeometry(geometry)) m_window->resize(1120, 760);
    }
    m_store = &store;
    m_section = section;
    m_window->setCentralWidget(page(section));
    store.setDashboardIsOpen(true);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // No control starts focused.
    QTimer::singleShot(0, m_window, [window = m_window] {
        if (window && window->focusWidget()) window->focusWidget()->clearFocus();
    });
}

void DashboardWindow::showDefault() {
    if (defaultStore) show(*defaultStore, ui::DashboardSection::overview);
}

}  // namespace tarvik::app
