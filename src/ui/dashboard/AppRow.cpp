#include "ui/dashboard/AppRow.hpp"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QTransform>
#include <QVBoxLayout>

#include "core/analysis/AppExplainer.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

QLabel* figure(const QString& text, int width, bool dark, QWidget* parent) {
    auto* label = makeLabel(text, 9.5, QFont::Medium, Theme::Role::text, dark, parent);
    label->setFixedWidth(width);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* wrapped(const QString& text, qreal points, Theme::Role role, bool dark, QWidget* parent) {
    auto* label = makeLabel(text, points, QFont::Normal, role, dark, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

AppRow::AppRow(ServerStore& store, AppRowState& state, AppUsage app, Extra extra, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_app(std::move(app)) {
    setObjectName(qs("app:" + m_app.name));
    const bool dark = Theme::isDark(parent);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_line = makeLine(extra, dark);
    layout->addWidget(m_line);
    m_details = makeDetails(dark);
    layout->addWidget(m_details);
    setExpanded(m_state.expanded.contains(m_app.name));
}

QWidget* AppRow::makeLine(Extra extra, bool dark) {
    auto* line = new QWidget(this);
    line->setCursor(Qt::PointingHandCursor);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(10, 7, 12, 7);
    layout->setSpacing(10);
    m_chevron = makeSymbol("caret-right", Theme::color(Theme::Role::tertiaryText, dark), 11, line);
    layout->addWidget(m_chevron);
    auto* icon = new QLabel(line);
    icon->setFixedSize(18, 18);
    QPixmap picture;
    if (m_app.bundlePath) picture = Icons::applicationIcon(*m_app.bundlePath, 18, devicePixelRatioF());
    if (picture.isNull())
        picture = Icons::tiledSymbol("app-window", Theme::color(Theme::Role::secondaryText, dark), 18,
                                     devicePixelRatioF());
    icon->setPixmap(picture);
    layout->addWidget(icon);
    auto* name = new ElidedLabel(qs(m_app.name), line, Qt::ElideRight);
    name->setFont(Theme::font(10, QFont::Medium));
    setTextColour(name, Theme::color(Theme::Role::text, dark));
    layout->addWidget(name, 1);
    layout->addWidget(figure(QString::number(m_app.cpuPercent, 'f', 1) + "%", cpuWidth, dark, line));
    layout->addWidget(figure(qs(ByteFormat::short_(m_app.memoryBytes)), memoryWidth, dark, line));
    if (extra == Extra::gpu)
        layout->addWidget(figure(QString::number(m_app.gpuPercent, 'f', 1) + "%", extraWidth, dark, line));
    return line;
}

QWidget* AppRow::makeDetails(bool dark) {
    const auto explanation = AppExplainer::explain(m_app);
    auto* details = new QWidget(this);
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(59, 0, 12, 10);
    layout->setSpacing(4);
    if (explanation.title != m_app.name)
        layout->addWidget(
            makeLabel(qs(explanation.title), 10, QFont::DemiBold, Theme::Role::text, dark, details));
    layout->addWidget(wrapped(qs(explanation.why), 9.5, Theme::Role::text, dark, details));
    if (!explanation.advice.empty())
        layout->addWidget(wrapped(qs(explanation.advice), 9.5, Theme::Role::secondaryText, dark, details));

    const int count = static_cast<int>(m_app.processes.size());
    auto* counting = new QHBoxLayout;
    counting->setContentsMargins(0, 6, 0, 0);
    counting->addWidget(makeLabel(count == 1 ? "1 process" : QString::number(count) + " processes", 9,
                                  QFont::DemiBold, Theme::Role::secondaryText, dark, details));
    counting->addStretch();
    if (count > processesShown) {
        auto* more =
            new CapsuleButton("Show all " + QString::number(count), CapsuleButton::Style::plain, details);
        auto* fewer = new CapsuleButton("Show fewer", CapsuleButton::Style::plain, details);
        connect(more, &QAbstractButton::clicked, this, [this] { showAll(true); });
        connect(fewer, &QAbstractButton::clicked, this, [this] { showAll(false); });
        counting->addWidget(more);
        counting->addWidget(fewer);
        m_showAll = more;
        m_showFewer = fewer;
    }
    layout->addLayout(counting);
    for (int index = 0; index < count; ++index) {
        auto* process = makeProcess(m_app.processes[static_cast<std::size_t>(index)], dark, details);
        layout->addWidget(process);
        if (index >= processesShown) m_extraProcesses.push_back(process);
    }
    showAll(m_state.showingAll.contains(m_app.name));

    if (explanation.canQuit) {
        m_actions = makeActions(details);
        layout->addWidget(m_actions);
        for (auto question : {AppRowState::Question::quit, AppRowState::Question::forceQuit}) {
            m_questions[question] = makeQuestion(question, dark, details);
            layout->addWidget(m_questions[question]);
        }
        auto asking = m_state.asking.find(m_app.name);
        ask(asking == m_state.asking.end() ? std::nullopt : std::optional(asking->second));
    }
    return details;
}

QWidget* AppRow::makeProcess(const ProcessRecord& process, bool dark, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(10);
    auto* name = makeLabel(qs(process.name()) + "\npid " + QString::number(process.pid), 9, QFont::Normal,
                           Theme::Role::text, dark, line);
    layout->addWidget(name, 1);
    if (m_store.actions().canEnd(process)) {
        layout->addWidget(
            wrapped("Asks this one process to quit.", 8.5, Theme::Role::tertiaryText, dark, line));
        auto* end = new CapsuleButton("End", CapsuleButton::Style::plain, line);
        end->setObjectName("end:" + QString::number(process.pid));
        connect(end, &QAbstractButton::clicked, this,
                [this, process] { m_store.actions().end(process, false); });
        layout->addWidget(end);
    } else {
        layout->addWidget(wrapped(qs("Owned by Linux, so Tarvik can't end it."), 8.5,
                                  Theme::Role::tertiaryText, dark, line));
    }
    return line;
}

QWidget* AppRow::makeActions(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(6);
    auto* quit = new CapsuleButton(qs("Quit " + m_app.name), CapsuleButton::Style::plain, box);
    auto* force = new CapsuleButton("Force Quit", CapsuleButton::Style::plain, box);
    connect(quit, &QAbstractButton::clicked, this, [this] { ask(AppRowState::Question::quit); });
    connect(force, &QAbstractButton::clicked, this, [this] { ask(AppRowState::Question::forceQuit); });
    layout->addWidget(quit);
    layout->addWidget(force);
    layout->addStretch();
    return box;
}

QWidget* AppRow::makeQuestion(AppRowState::Question question, bool dark, QWidget* parent) {
    const bool force = question == AppRowState::Question::forceQuit;
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(6);
    const QString text = force ? qs("Force quit " + m_app.name + "? Unsaved work may be lost.")
                               : qs("Quit " + m_app.name + "? Unsaved work may ask to be saved.");
    layout->addWidget(wrapped(text, 9.5, Theme::Role::text, dark, box), 1);
    auto* confirm = new CapsuleButton(force ? "Force Quit" : "Quit", CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    auto* cancel = new CapsuleButton("Cancel", CapsuleButton::Style::plain, box);
    connect(confirm, &QAbstractButton::clicked, this, [this, force] {
        ask(std::nullopt);
        force ? m_store.actions().forceQuit(m_app) : m_store.actions().quit(m_app);
    });
    connect(cancel, &QAbstractButton::clicked, this, [this] { ask(std::nullopt); });
    layout->addWidget(confirm);
    layout->addWidget(cancel);
    return box;
}

void AppRow::ask(std::optional<AppRowState::Question> question) {
    if (question)
        m_state.asking[m_app.name] = *question;
    else
        m_state.asking.erase(m_app.name);
    if (m_actions) m_actions->setVisible(!question);
    for (auto [which, box] : m_questions) box->setVisible(question == which);
}

void AppRow::showAll(bool all) {
    if (all)
        m_state.showingAll.insert(m_app.name);
    else
        m_state.showingAll.erase(m_app.name);
    for (auto* process : m_extraProcesses) process->setVisible(all);
    if (m_showAll) m_showAll->setVisible(!all);
    if (m_showFewer) m_showFewer->setVisible(all);
}

void AppRow::setExpanded(bool expanded) {
    if (expanded)
        m_state.expanded.insert(m_app.name);
    else
        m_state.expanded.erase(m_app.name);
    m_details->setVisible(expanded);
    const QPixmap chevron = Icons::symbol(
        "caret-right", Theme::color(Theme::Role::tertiaryText, Theme::isDark(this)), 11, devicePixelRatioF());
    m_chevron->setPixmap(expanded ? chevron.transformed(QTransform().rotate(90)) : chevron);
}

void AppRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_line->geometry().contains(event->position().toPoint()))
        setExpanded(!m_details->isVisible());
    QWidget::mouseReleaseEvent(event);
}

}  // namespace tarvik::ui
