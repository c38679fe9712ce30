#include "ui/dashboard/NetworkPage.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/machine/SystemVitals.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/ElapsedTime.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

struct NetworkText {
    Q_DECLARE_TR_FUNCTIONS(NetworkPage)
};

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

QWidget* trafficRow(const AppTraffic& traffic, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(qs("traffic:" + traffic.name));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(Theme::Space::xl, Theme::Space::s, Theme::Space::xl, Theme::Space::s);
    layout->setSpacing(Theme::Space::m);
    layout->addWidget(new ElidedLabel(qs(traffic.name), row), 1);
    if (traffic.app && traffic.app->isSystem)
        layout->addWidget(makeLabel((NetworkText::tr("Part of Linux")), Theme::Text::caption,
                                    Theme::Role::secondaryText, row));
    // The check watches for one second, so its byte counts read as rates.
    layout->addWidget(
        makeLabel(NetworkText::tr("↓ %1   ↑ %2").arg(rate(traffic.bytesIn), rate(traffic.bytesOut)),
                  Theme::Text::footnote, Theme::Role::secondaryText, row));
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
    explicit TrafficList(QWidget* parent)
        : QWidget(parent),
          m_model(this),
          m_filter(&m_model, this),
          m_rows(new QVBoxLayout),
          m_message(makeLabel({}, Theme::Text::subheadline, Theme::Role::secondaryText, this)) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_rows->setSpacing(0);
        layout->addLayout(m_rows);
        m_message->setAlignment(Qt::AlignCenter);
        m_message->hide();
        layout->addWidget(m_message);
        connect(&m_filter, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) {
                    for (int row = first; row <= last; ++row) m_rows->insertWidget(row, makeRow(row));
                    settle();
                });
        connect(&m_filter, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) {
                    for (int row = last; row >= first; --row) delete m_rows->itemAt(row)->widget();
                });
        // The filter drops its rows before the model drops the apps.
        connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] { settle(); });
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
        return trafficRow(m_model.rows()[static_cast<std::size_t>(source)].traffic, this);
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
        if (!vitals.networkIn || !vitals.networkOut)
            return NetworkText::tr("Measuring the network.").toStdString();
        return NetworkText::tr("Downloading at %1 and uploading at %2.")
            .arg(rate(*vitals.networkIn), rate(*vitals.networkOut))
            .toStdString();
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& in = shown.vitals().networkIn;
        if (!in) return std::nullopt;
        return Reading{rate(*in), NetworkText::tr("Download")};
    };
    page.facts = [](const ServerStore& shown) {
        return std::vector<Fact>{
            {NetworkText::tr("Upload"), rate(shown.vitals().networkOut)},
            {NetworkText::tr("Average download"),
             rate(shown.vitalsHistory().average("net.in", HistoryChart::span, shown.now()))},
            {NetworkText::tr("Busiest download"), rate(busiest(shown, "net.in"))}};
    };
    page.chart = {"net.in", {}, [](double value) { return rate(value); }, std::nullopt, false};

    auto* result = new MetricPage(store, std::move(page), parent);
    result->table()->hide();
    auto* extra = new QWidget(result);
    auto* layout = new QVBoxLayout(extra);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::xxl);

    auto* uploadCard = new Card(extra, Card::Look::plain);
    auto* uploadLayout = new QVBoxLayout(uploadCard);
    uploadLayout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::l, Theme::Space::l);
    uploadLayout->addWidget(makeLabel(NetworkText::tr("Upload"), Theme::Text::subheadline, QFont::DemiBold,
                                      Theme::Role::secondaryText, uploadCard));
    auto* upload = new HistoryChart(
        {"net.out", {}, [](double value) { return rate(value); }, std::nullopt, false}, uploadCard);
    upload->setFixedHeight(120);
    uploadLayout->addWidget(upload);
    layout->addWidget(uploadCard);
    // Only physical interfaces are summed, so a tunnel's traffic is not seen a second time.
    layout->addWidget(
        makeLabel(NetworkText::tr("Wi-Fi and Ethernet together. VPN traffic isn't counted twice."),
                  Theme::Text::footnote, Theme::Role::secondaryText, extra));

    auto* apps = new Card(extra, Card::Look::plain);
    auto* appsLayout = new QVBoxLayout(apps);
    appsLayout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::xxl, Theme::Space::xl);
    appsLayout->setSpacing(Theme::Space::m);
    appsLayout->addWidget(makeLabel(NetworkText::tr("Apps using the network"), Theme::Text::bodyLarge,
                                    QFont::DemiBold, Theme::Role::text, apps));
    auto* explanation = makeLabel(
        NetworkText::tr("See which apps are downloading or uploading right now. Tarvik watches for one "
                        "second when you ask, so it costs nothing the rest of the time."),
        Theme::Text::footnote, Theme::Role::secondaryText, apps);
    explanation->setWordWrap(true);
    appsLayout->addWidget(explanation);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(Theme::Space::l);
    auto* check = new CapsuleButton(NetworkText::tr("Check now"), CapsuleButton::Style::prominent, apps);
    check->setObjectName("checkNetwork");
    QObject::connect(check, &QAbstractButton::clicked, result,
                     [&store] { store.checks().checkNetworkApps(); });
    controls->addWidget(check);
    auto* checked = makeLabel({}, Theme::Text::footnote, Theme::Role::secondaryText, apps);
    controls->addWidget(checked);
    controls->addStretch();
    appsLayout->addLayout(controls);
    auto* status = makeLabel({}, Theme::Text::subheadline, Theme::Role::secondaryText, apps);
    appsLayout->addWidget(status);
    auto* list = new TrafficList(apps);
    appsLayout->addWidget(list);
    layout->addWidget(apps);

    result->setExtra(extra, [=, &store] {
        upload->setHistory(store.vitalsHistory(), store.now());
        const auto& found = store.checks().networkApps();
        const auto at = store.checks().networkCheckedAt();
        check->setText(found ? NetworkText::tr("Check again") : NetworkText::tr("Check now"));
        check->setEnabled(!store.checks().checkingNetwork());
        checked->setVisible(at.has_value());
        if (at) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(store.now() - *at).count();
            checked->setText(
                NetworkText::tr("Checked %1 ago").arg(qs(ElapsedTime::label(static_cast<int>(seconds)))));
        }
        QString message;
        if (store.checks().checkingNetwork())
            message = NetworkText::tr("Watching traffic for a second…");
        else if (found && found->empty())
            message = NetworkText::tr("Nothing was using the network just now.");
        list->setTraffic(found && !store.checks().checkingNetwork() ? *found : std::vector<AppTraffic>{});
        status->setText(message);
        status->setVisible(!message.isEmpty());
    });
    return result;
}

}  // namespace tarvik::ui
