#include "ui/dashboard/CpuPage.hpp"

#include <QCoreApplication>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <thread>

#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

constexpr int columns = 2;
constexpr int rowHeight = 20;
constexpr int headingHeight = 24;

struct CpuText {
    Q_DECLARE_TR_FUNCTIONS(CpuPage)
};

QString percent(double value) {
    return CpuText::tr("%1%").arg(value, 0, 'f', 0);
}

int logicalCores(const ServerStore& store) {
    if (!store.vitals().cores.empty()) return static_cast<int>(store.vitals().cores.size());
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int rowsOf(std::size_t cores) {
    return static_cast<int>((cores + columns - 1) / columns);
}

}  // namespace

CoreBars::CoreBars(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CoreBars::setCores(std::vector<CoreLoad> cores) {
    if (cores == m_cores) return;
    m_cores = std::move(cores);
    updateGeometry();
    update();
}

std::vector<CoreBars::Group> CoreBars::grouped() const {
    Group efficiency{CpuText::tr("Efficiency cores"), {}}, performance{CpuText::tr("Performance cores"), {}};
    for (const auto& core : m_cores) (core.isEfficiency ? efficiency : performance).cores.push_back(core);
    if (efficiency.cores.empty()) return {{QString(), m_cores}};
    return {efficiency, performance};
}

QStringList CoreBars::groups() const {
    QStringList titles;
    for (const auto& group : grouped())
        if (!group.title.isEmpty()) titles << group.title;
    return titles;
}

QSize CoreBars::sizeHint() const {
    int height = 0;
    for (const auto& group : grouped()) height += headingHeight + rowsOf(group.cores.size()) * rowHeight;
    return {400, height + 4};
}

void CoreBars::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double columnWidth = (width() - 24.0) / columns;
    double top = 0;
    for (const auto& group : grouped()) {
        painter.setPen(Theme::color(Theme::Role::secondaryText, this));
        painter.setFont(Theme::font(Theme::Text::footnote, QFont::DemiBold));
        painter.drawText(QRectF(0, top, width(), headingHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         group.title.isEmpty() ? CpuText::tr("Cores") : group.title);
        top += headingHeight;
        painter.setFont(Theme::font(Theme::Text::caption));
        for (std::size_t i = 0; i < group.cores.size(); ++i) {
            const auto& core = group.cores[i];
            const double x = static_cast<double>(i % columns) * (columnWidth + 24);
            const double y = top + static_cast<double>(i / columns) * rowHeight;
            painter.setPen(Theme::color(Theme::Role::secondaryText, this));
            painter.drawText(QRectF(x, y, 58, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             CpuText::tr("Core %1").arg(core.index));
            painter.drawText(QRectF(x + columnWidth - 40, y, 40, rowHeight),
                             Qt::AlignRight | Qt::AlignVCenter, percent(core.load * 100));
            const QRectF track(x + 62, y + rowHeight / 2.0 - 3, columnWidth - 110, 6);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::color(Theme::Role::separator, this));
            painter.drawRoundedRect(track, Theme::Radius::xs, Theme::Radius::xs);
            QRectF bar = track;
            bar.setWidth(track.width() * std::clamp(core.load, 0.0, 1.0));
            painter.setBrush(
                Theme::color(core.isEfficiency ? Theme::Role::green : Theme::Role::accent, this));
            if (bar.width() > 0) painter.drawRoundedRect(bar, Theme::Radius::xs, Theme::Radius::xs);
        }
        top += rowsOf(group.cores.size()) * rowHeight;
    }
}

MetricPage* makeCpuPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::cpu;
    page.sentence = [](const ServerStore& shown) {
        return PageSentence::of(shown.findings(), Finding::Kind::cpu,
                                PageSentence::cpuFallback(logicalCores(shown)));
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& cpu = shown.vitals().cpu;
        if (!cpu) return std::nullopt;
        return Reading{percent(cpu->busy * 100), CpuText::tr("Busy now")};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& cpu = shown.vitals().cpu;
        auto part = [&](double CPULoad::*field) {
            return cpu ? std::optional(percent((*cpu).*field * 100)) : std::nullopt;
        };
        return std::vector<Fact>{{CpuText::tr("User"), part(&CPULoad::user)},
                                 {CpuText::tr("System"), part(&CPULoad::system)},
                                 {CpuText::tr("Cores"), QString::number(logicalCores(shown))}};
    };
    page.chart = {"cpu",
                  {{"cpu.user", CpuText::tr("User")}, {"cpu.system", CpuText::tr("System")}},
                  percent,
                  100,
                  false};
    page.appsTitle = CpuText::tr("Busy for the last hour");
    page.appsNote = CpuText::tr("Average over the hour, not just this moment");
    page.apps = [](const ServerStore& shown) { return shown.appsAveraged(); };
    page.table = {AppTable::Column::cpu, AppRow::Extra::none,
                  CpuText::tr("No app has kept the processor busy this hour.")};

    auto* result = new MetricPage(store, std::move(page), parent);
    auto* card = new Card(result, Card::Look::plain);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(Theme::Space::xxl, Theme::Space::s, Theme::Space::xxl, Theme::Space::l);
    auto* cores = new CoreBars(card);
    layout->addWidget(cores);
    result->setExtra(card, [card, cores, &store] {
        cores->setCores(store.vitals().cores);
        card->setVisible(!store.vitals().cores.empty());
    });
    return result;
}

}  // namespace tarvik::ui
