#include "ui/dashboard/NetworkPage.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "core/support/ElapsedTime.hpp"
#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

QString rate(double bytesPerSecond) {
    return qs(ByteFormat::rate(bytesPerSecond));
}

std::optional<QString> rate(std::optional<double> bytesPerSecond) {
    return bytesPerSecond ? std::optional(rate(*bytesPerSecond)) : std::nullopt;
}

std::optional<double> busiest(const ServerStore& store, const std::string& key) {
    const auto found = store.vitalsHistory().series.find(key);
    if (found == store.vitalsHistory().series.end()) return std::nullopt;
    std::optional<double> top;
    const Date since = store.now() - std::chrono::seconds(static_cast<int>(HistoryChart::span));
    for (const auto& point : found->second)
        if (point.at >= since) top = std::max(top.value_or(point.value), point.value);
    return top;
}

QWidget* trafficRow(const AppTraffic& traffic, bool dark, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(qs("traffic:" + traffic.name));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(8);
    layout->addWidget(new ElidedLabel(qs(traffic.name), row), 1);
    if (traffic.app && traffic.app->isSystem)
        layout->addWidget(makeLabel(qs(Words::text("Part of macOS")), 9, QFont::Normal,
                                    Theme::Role::secondaryText, dark, row));
    // The check watches for one second, so its byte counts read as rates.
    layout->addWidget(makeLabel(
        QString::fromUtf8("↓ ") + rate(traffic.bytesIn) + QString::fromUtf8("   ↑ ") + rate(traffic.bytesOut),
        9.5, QFont::Normal, Theme::Role::secondaryText, dark, row));
    return row;
}

// A found app keyed by its name.
struct TrafficRow {
    AppTraffic traffic;
    bool operator==(const TrafficRow&) const = default;
    [[nodiscard]] const std::string& id() const { return traffic.name; }
};

class TrafficModel : public KeyedListModel<TrafficRow> {
public:
    using KeyedListModel::KeyedListModel;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        const TrafficRow* row = rowAt(index);
        return row && role == Qt::DisplayRole ? QVariant(qs(row->traffic.name)) : QVariant();
    }
};

// The apps the last check found, narrowed by the search.
class TrafficList : public QWidget, public AppFilter {
public:
    TrafficList(bool dark, QWidget* parent)
        : QWidget(parent),
          m_dark(dark),
          m_model(this),
          m_filter(&m_model, this),
          m_rows(new QVBoxLayout),
          m_message(makeLabel({}, 10, QFont::Normal, Theme::Role::secondaryText, dark, this)) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_rows->setSpacing(0);
        layout->addLayout(m_rows);
        m_message->setAlignment(Qt::AlignCenter);
        m_message->hide();
        layout->addWidget(m_message);
        connect(&m_filter, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
            for (int row = first; row <= last; ++row) m_rows->insertWidget(row, makeRow(row));
            settle();
        });
        connect(&m_filter, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) {
                    for (int row = last; row >= first; --row) delete m_rows->itemAt(row)->widget();
                });
        connect(&m_filter, &QAbstractItemModel::rowsRemoved, this, [this] { settle(); });
        connect(&m_filter, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    for (int row = from.row(); row <= to.row(); ++row) {
                        auto* old = m_rows->itemAt(row)->widget();
                        delete m_rows->replaceWidget(old, makeRow(row));
                        delete old;
                    }
                    settle();
                });
        connect(&m_filter, &QAbstractItemModel::layoutChanged, this, [this] { remake(); });
        connect(&m_filter, &QAbstractItemModel::modelReset, this, [this] { remake(); });
        connect(&m_filter, &QAbstractItemModel::rowsMoved, this, [this] { remake(); });
    }

    void setTraffic(const std::vector<AppTraffic>& traffic) {
        std::vector<TrafficRow> rows;
        for (const auto& found : traffic) rows.push_back({found});
        m_model.apply(std::move(rows));
    }

    void setFilter(const QString& query) override { m_filter.setQuery(query); }

private:
    QWidget* makeRow(int row) {
        const auto source = m_filter.mapToSource(m_filter.index(row, 0)).row();
        return trafficRow(m_model.rows()[static_cast<std::size_t>(source)].traffic, m_dark, this);
    }

    void remake() {
        clearLayout(m_rows);
        for (int row = 0; row < m_filter.rowCount(); ++row) m_rows->addWidget(makeRow(row));
        settle();
    }

    void settle() {
        showItems(m_rows);
        m_message->setText(noMatch(m_filter.query()));
        m_message->setVisible(m_filter.rowCount() == 0 && !m_model.rows().empty());
    }

    bool m_dark;
    TrafficModel m_model;
    AppNameFilter m_filter;
    QVBoxLayout* m_rows;
    QLabel* m_message;
};

}  // namespace

MetricPage* makeNetworkPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::network;
    page.sentence = [](const ServerStore& shown) -> std::string {
        const auto& vitals = shown.vitals();
        if (!vitals.networkIn || !vitals.networkOut) return "Measuring the network.";
        return "Downloading at " + ByteFormat::rate(*vitals.networkIn) + " and uploading at " +
               ByteFormat::rate(*vitals.networkOut) + ".";
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& in = shown.vitals().networkIn;
        if (!in) return std::nullopt;
        return Reading{rate(*in), "Download"};
    };
    page.facts = [](const ServerStore& shown) {
        return std::vector<Fact>{{"Upload", rate(shown.vitals().networkOut)},
                                 {"Average download", rate(shown.vitalsHistory().average(
                                                          "net.in", HistoryChart::span, shown.now()))},
                                 {"Busiest download", rate(busiest(shown, "net.in"))}};
    };
    page.chart = {"net.in", {}, [](double value) { return rate(value); }, std::nullopt, false};

    auto* result = new MetricPage(store, std::move(page), parent);
    result->table()->hide();
    const bool dark = Theme::isDark(parent);
    auto* extra = new QWidget(result);
    auto* layout = new QVBoxLayout(extra);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);

    auto* uploadCard = new Card(extra, Card::Look::plain);
    auto* uploadLayout = new QVBoxLayout(uploadCard);
    uploadLayout->setContentsMargins(14, 12, 10, 10);
    uploadLayout->addWidget(
        makeLabel("Upload", 10, QFont::DemiBold, Theme::Role::secondaryText, dark, uploadCard));
    auto* upload = new HistoryChart(
        {"net.out", {}, [](double value) { return rate(value); }, std::nullopt, false}, uploadCard);
    upload->setFixedHeight(120);
    uploadLayout->addWidget(upload);
    layout->addWidget(uploadCard);
    // Only physical interfaces are summed, so a tunnel's traffic is not seen a second time.
    layout->addWidget(makeLabel("Wi-Fi and Ethernet together. VPN traffic isn't counted twice.", 9.5,
                                QFont::Normal, Theme::Role::secondaryText, dark, extra));

    auto* apps = new Card(extra, Card::Look::plain);
    auto* appsLayout = new QVBoxLayout(apps);
    appsLayout->setContentsMargins(14, 12, 14, 12);
    appsLayout->setSpacing(8);
    appsLayout->addWidget(
        makeLabel("Apps using the network", 12, QFont::DemiBold, Theme::Role::text, dark, apps));
    auto* explanation = makeLabel(
        "See which apps are downloading or uploading right now. Tarvik watches for one "
        "second when you ask, so it costs nothing the rest of the time.",
        9.5, QFont::Normal, Theme::Role::secondaryText, dark, apps);
    explanation->setWordWrap(true);
    appsLayout->addWidget(explanation);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(10);
    auto* check = new CapsuleButton("Check now", CapsuleButton::Style::prominent, apps);
    check->setObjectName("checkNetwork");
    QObject::connect(check, &QAbstractButton::clicked, result, [&store] { store.checkNetworkApps(); });
    controls->addWidget(check);
    auto* checked = makeLabel({}, 9.5, QFont::Normal, Theme::Role::secondaryText, dark, apps);
    controls->addWidget(checked);
    controls->addStretch();
    appsLayout->addLayout(controls);
    auto* status = makeLabel({}, 10, QFont::Normal, Theme::Role::secondaryText, dark, apps);
    appsLayout->addWidget(status);
    auto* list = new TrafficList(dark, apps);
    appsLayout->addWidget(list);
    layout->addWidget(apps);

    result->setExtra(extra, [=, &store] {
        upload->setHistory(store.vitalsHistory(), store.now());
        const auto& found = store.networkApps();
        const auto at = store.networkCheckedAt();
        check->setText(found ? "Check again" : "Check now");
        check->setEnabled(!store.checkingNetwork());
        checked->setVisible(at.has_value());
        if (at) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(store.now() - *at).count();
            checked->setText(qs("Checked " + ElapsedTime::label(static_cast<int>(seconds)) + " ago"));
        }
        QString message;
        if (store.checkingNetwork())
            message = QString::fromUtf8("Watching traffic for a second…");
        else if (found && found->empty())
            message = "Nothing was using the network just now.";
        list->setTraffic(found && !store.checkingNetwork() ? *found : std::vector<AppTraffic>{});
        status->setText(message);
        status->setVisible(!message.isEmpty());
    });
    return result;
}

}  // namespace tarvik::ui
