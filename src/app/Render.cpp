#include "app/Render.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QTimer>
#include <cstdio>

#include "ui/Preview.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/linux/MachineServices.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/ShareMenu.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/TidyView.hpp"
#include "ui/views/TrayLabel.hpp"

namespace tarvik::app {

namespace {

using ui::PanelView;

struct PanelTarget {
    const char* name;
    PanelView::Page page;
    PanelView::ListTab tab;
};

constexpr PanelTarget panelTargets[] = {
    {"panel:overview", PanelView::Page::list, PanelView::ListTab::overview},
    {"panel:active", PanelView::Page::list, PanelView::ListTab::active},
    {"panel:stopped", PanelView::Page::list, PanelView::ListTab::stopped},
    {"panel:tidy", PanelView::Page::tidy, PanelView::ListTab::overview},
    {"panel:settings", PanelView::Page::settings, PanelView::ListTab::overview},
    {"panel:onboarding", PanelView::Page::list, PanelView::ListTab::overview},
};

// The machine as one refresh sees it, with the user's settings read but never written.
std::unique_ptr<ui::ServerStore> liveStore() {
    auto services = ui::liveServices();
    auto inert = ui::Preview::inertServices();
    auto settings = std::move(inert.settings);
    for (const char* key : {"showSystemServers", "notificationsEnabled", "menuBarDisplay",
                            "alertOnMemoryGrowth", "alertOnHighCPU", "alertOnHeat", "hasOnboarded"})
        settings->setValue(key, services.settings->value(key));
    services.settings = std::move(settings);
    services.notifier = std::move(inert.notifier);
    auto store = std::make_unique<ui::ServerStore>(std::move(services));
    QEventLoop wait;
    store->refresh([&] { wait.quit(); });
    wait.exec();
    return store;
}

bool save(const QPixmap& pixmap, const QString& out) {
    if (pixmap.save(out, "PNG")) return true;
    std::fprintf(stderr, "tarvik-app: could not write %s\n", qPrintable(out));
    return false;
}

QString dashboardTarget(ui::DashboardSection section) {
    const auto raw = ui::DashboardSections::rawValue(section);
    return "dashboard:" + QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
}

}  // namespace

QStringList renderTargets() {
    QStringList targets;
    for (const auto& target : panelTargets) targets << target.name;
    for (auto section : ui::DashboardSections::all) targets << dashboardTarget(section);
    targets << "share-card"
            << "tray-icon";
    return targets;
}

int render(const RenderRequest& request) {
    QApplication::setPalette(ui::Theme::palette(request.dark));
    auto store = request.preview ? ui::Preview::store() : liveStore();
    if (request.target == "tray-icon") {
        // Every size the app offers, on a dark bar above a light one, as trays show it.
        const auto label = ui::TrayLabel::of(*store);
        constexpr int gap = 12;
        const int largest = ui::TrayLabel::sizes.back();
        int width = gap;
        for (int size : ui::TrayLabel::sizes) width += size + gap;
        QPixmap sheet(width, 2 * (largest + 2 * gap));
        QPainter painter(&sheet);
        for (int row = 0; row < 2; ++row) {
            const QRect bar(0, row * (largest + 2 * gap), width, largest + 2 * gap);
            painter.fillRect(bar, row == 0 ? QColor(0x20, 0x20, 0x20) : QColor(0xf0, 0xf0, 0xf0));
            int x = gap;
            for (int size : ui::TrayLabel::sizes) {
                painter.drawPixmap(x, bar.center().y() - size / 2, label.icon(size));
                x += size + gap;
            }
        }
        painter.end();
        return save(sheet, request.out) ? 0 : 1;
    }
    if (request.target == "share-card") {
        const QByteArray png = ui::ShareMenu::renderPNG(*store, QApplication::palette());
        QFile file(request.out);
        if (!png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size()) return 0;
        std::fprintf(stderr, "tarvik-app: could not write %s\n", qPrintable(request.out));
        return 1;
    }
    for (const auto& target : panelTargets) {
        if (request.target != target.name) continue;
        if (request.target != "panel:onboarding" && !store->hasOnboarded()) store->setHasOnboarded(true);
        if (request.target == "panel:onboarding" && store->hasOnboarded()) store->setHasOnboarded(false);
        PanelView panel(*store);
        panel.setSubPages(new ui::TidyView(*store), new ui::SettingsView(*store));
        panel.resize(ui::Theme::Size::panel);
        panel.showPage(target.page);
        panel.showTab(target.tab);
        panel.setAttribute(Qt::WA_DontShowOnScreen);
        panel.show();
        QCoreApplication::processEvents();
        return save(panel.grab(), request.out) ? 0 : 1;
    }
    for (auto section : ui::DashboardSections::all) {
        if (request.target != dashboardTarget(section)) continue;
        ui::DashboardView dashboard(*store, section);
        dashboard.resize(request.size.isEmpty() ? ui::Theme::Size::dashboard : request.size);
        dashboard.setAttribute(Qt::WA_DontShowOnScreen);
        dashboard.show();
        QCoreApplication::processEvents();
        return save(dashboard.grab(), request.out) ? 0 : 1;
    }
    std::fprintf(stderr, "tarvik-app: no render target %s; one of: %s\n", qPrintable(request.target),
                 qPrintable(renderTargets().join(", ")));
    return 2;
}

}  // namespace tarvik::app
