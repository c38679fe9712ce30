#include "ui/dashboard/AppRow.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTransform>
#include <QVBoxLayout>
#include <algorithm>

#include "core/analysis/AppExplainer.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

QLabel* figure(int width, QWidget* parent) {
    auto* label = makeLabel({}, Theme::Text::footnote, QFont::Medium, Theme::Role::text, parent);
    label->setFixedWidth(width);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QString percentText(double percent) {
    return AppRow::tr("%1%").arg(percent, 0, 'f', 1);
}

// What the details show of each process: its figures change every refresh, and the details do not
// show them.
bool sameProcessLines(const AppUsage& a, const AppUsage& b) {
    return std::equal(a.processes.begin(), a.processes.end(), b.processes.begin(), b.processes.end(),
                      [](const ProcessRecord& x, const ProcessRecord& y) {
                          return x.pid == y.pid && x.startTicks == y.startTicks && x.path == y.path;
                      });
}

}  // namespace

AppRow::AppRow(ServerStore& store, AppRowState& state, AppUsage app, Extra extra, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_app(std::move(app)), m_extra(extra) {
    setObjectName(qs("app:" + m_app.name));
    // Tab reaches the row; Space or Return opens it.
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_line = makeLine();
    layout->addWidget(m_line);
    setExpanded(m_state.expanded.contains(m_app.name));
}

QWidget* AppRow::makeLine() {
    auto* line = new QWidget(this);
    line->setCursor(Qt::PointingHandCursor);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(Theme::Space::l, Theme::Space::m, Theme::Space::xl, Theme::Space::m);
    layout->setSpacing(Theme::Space::l);
    m_chevron = new QLabel(line);
    m_chevron->setFixedSize(chevronSize, chevronSize);
    Theme::follow(m_chevron, [this] { drawChevron(); });
    layout->addWidget(m_chevron);
    auto* icon = new QLabel(line);
    icon->setFixedSize(iconSize, iconSize);
    const QPixmap picture = m_app.bundlePath
                                ? Icons::applicationIcon(*m_app.bundlePath, iconSize, devicePixelRatioF())
                                : QPixmap();
    if (picture.isNull())
        Theme::follow(icon, [icon] {
            icon->setPixmap(Icons::tiledSymbol("app-window", Theme::color(Theme::Role::secondaryText, icon),
                                               iconSize, icon->devicePixelRatioF()));
        });
    else
        icon->setPixmap(picture);
    layout->addWidget(icon);
    auto* name = new ElidedLabel(qs(m_app.name), Theme::font(Theme::Text::subheadline, QFont::Medium),
                                 Theme::Role::text, line, Qt::ElideRight);
    layout->addWidget(name, 1);
    m_cpu = figure(cpuWidth, line);
    layout->addWidget(m_cpu);
    m_memory = figure(memoryWidth, line);
    layout->addWidget(m_memory);
    if (m_extra != Extra::none) {
        m_extraFigure = figure(extraWidth, line);
        layout->addWidget(m_extraFigure);
    }
    showFigures();
    return line;
}

void AppRow::showFigures() {
    m_cpu->setText(percentText(m_app.cpuPercent));
    m_memory->setText(qs(ByteFormat::short_(m_app.memoryBytes)));
    if (m_extraFigure) m_extraFigure->setText(percentText(m_app.gpuPercent));
}

void AppRow::setApp(AppUsage app) {
    if (app == m_app) return;
    const bool sameDetails = !m_details || (sameProcessLines(app, m_app) && [&] {
        const auto before = AppExplainer::explain(m_app);
        const auto after = AppExplainer::explain(app);
        return before.title == after.title && before.why == after.why && before.advice == after.advice &&
               before.canQuit == after.canQuit;
    }());
    m_app = std::move(app);
    showFigures();
    if (sameDetails) return;
    const bool open = m_details->isVisible();
    dropDetails();
    if (open) setExpanded(true);
}

void AppRow::dropDetails() {
    m_extraProcesses.clear();
    m_showAll = m_showFewer = m_actions = nullptr;
    m_questions.clear();
    delete m_details;
    m_details = nullptr;
}

QWidget* AppRow::makeDetails() {
    const auto explanation = AppExplainer::explain(m_app);
    auto* details = new QWidget(this);
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(nameIndent, 0, Theme::Space::xl, Theme::Space::l);
    layout->setSpacing(Theme::Space::xs);
    if (explanation.title != m_app.name)
        layout->addWidget(makeLabel(qs(explanation.title), Theme::Text::subheadline, QFont::DemiBold,
                                    Theme::Role::text, details));
    layout->addWidget(makeWrapped(qs(explanation.why), Theme::Text::footnote, Theme::Role::text, details));
    if (!explanation.advice.empty())
        layout->addWidget(
            makeWrapped(qs(explanation.advice), Theme::Text::footnote, Theme::Role::secondaryText, details));

    const int count = static_cast<int>(m_app.processes.size());
    auto* counting = new QHBoxLayout;
    counting->setContentsMargins(0, Theme::Space::s, 0, 0);
    counting->addWidget(makeLabel(count == 1 ? tr("1 process") : tr("%1 processes").arg(count),
                                  Theme::Text::caption, QFont::DemiBold, Theme::Role::secondaryText,
                                  details));
    counting->addStretch();
    if (count > processesShown) {
        auto* more = new CapsuleButton(tr("Show all %1").arg(count), CapsuleButton::Style::plain, details);
        auto* fewer = new CapsuleButton(tr("Show fewer"), CapsuleButton::Style::plain, details);
        connect(more, &QAbstractButton::clicked, this, [this] { showAll(true); });
        connect(fewer, &QAbstractButton::clicked, this, [this] { showAll(false); });
        counting->addWidget(more);
        counting->addWidget(fewer);
        m_showAll = more;
        m_showFewer = fewer;
    }
    layout->addLayout(counting);
    for (int index = 0; index < count; ++index) {
        auto* process = makeProcess(m_app.processes[static_cast<std::size_t>(index)], details);
        layout->addWidget(process);
        if (index >= processesShown) m_extraProcesses.push_back(process);
    }
    showAll(m_state.showingAll.contains(m_app.name));

    if (explanation.canQuit) {
        m_actions = makeActions(details);
        layout->addWidget(m_actions);
        for (auto question : {AppRowState::Question::quit, AppRowState::Question::forceQuit}) {
            m_questions[question] = makeQuestion(question, details);
            layout->addWidget(m_questions[question]);
        }
        auto asking = m_state.asking.find(m_app.name);
        ask(asking == m_state.asking.end() ? std::nullopt : std::optional(asking->second));
    }
    return details;
}

QWidget* AppRow::makeProcess(const ProcessRecord& process, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, Theme::Space::xxs, 0, Theme::Space::xxs);
    layout->setSpacing(Theme::Space::l);
    auto* name = makeLabel(tr("%1\npid %2").arg(qs(process.name())).arg(process.pid), Theme::Text::caption,
                           Theme::Role::text, line);
    layout->addWidget(name, 1);
    if (m_store.actions().canEnd(process)) {
        layout->addWidget(makeWrapped(tr("Asks this one process to quit."), Theme::Text::caption2,
                                      Theme::Role::tertiaryText, line));
        auto* end = new CapsuleButton(tr("End"), CapsuleButton::Style::plain, line);
        end->setObjectName("end:" + QString::number(process.pid));
        connect(end, &QAbstractButton::clicked, this,
                [this, process] { m_store.actions().end(process, false); });
        layout->addWidget(end);
    } else {
        const auto user = m_store.actions().otherUser(process.pid);
        layout->addWidget(makeWrapped(user
                                          ? tr("Owned by the user %1, so Tarvik can't end it.").arg(qs(*user))
                                          : tr("Owned by Linux, so Tarvik can't end it."),
                                      Theme::Text::caption2, Theme::Role::tertiaryText, line));
    }
    return line;
}

QWidget* AppRow::makeActions(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, Theme::Space::s, 0, 0);
    layout->setSpacing(Theme::Space::s);
    auto* quit = new CapsuleButton(tr("Quit %1").arg(qs(m_app.name)), CapsuleButton::Style::plain, box);
    auto* force = new CapsuleButton(tr("Force Quit"), CapsuleButton::Style::plain, box);
    connect(quit, &QAbstractButton::clicked, this, [this] { ask(AppRowState::Question::quit); });
    connect(force, &QAbstractButton::clicked, this, [this] { ask(AppRowState::Question::forceQuit); });
    layout->addWidget(quit);
    layout->addWidget(force);
    layout->addStretch();
    return box;
}

QWidget* AppRow::makeQuestion(AppRowState::Question question, QWidget* parent) {
    const bool force = question == AppRowState::Question::forceQuit;
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, Theme::Space::s, 0, 0);
    layout->setSpacing(Theme::Space::s);
    const QString text = force ? tr("Force quit %1? Unsaved work may be lost.").arg(qs(m_app.name))
                               : tr("Quit %1? Unsaved work may ask to be saved.").arg(qs(m_app.name));
    layout->addWidget(makeWrapped(text, Theme::Text::footnote, Theme::Role::text, box), 1);
    auto* confirm =
        new CapsuleButton(force ? tr("Force Quit") : tr("Quit"), CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    auto* cancel = new CapsuleButton(tr("Cancel"), CapsuleButton::Style::plain, box);
    cancel->setObjectName("cancel");
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
    // Most rows are never opened, and a row of a hundred processes is a hundred lines: the details
    // are made when first shown.
    if (expanded && !m_details) {
        m_details = makeDetails();
        layout()->addWidget(m_details);
    }
    if (m_details) m_details->setVisible(expanded);
    drawChevron();
}

bool AppRow::isExpanded() const {
    return m_details && m_details->isVisible();
}

void AppRow::drawChevron() {
    const QPixmap chevron = Icons::symbol("caret-right", Theme::color(Theme::Role::tertiaryText, m_chevron),
                                          chevronSize, devicePixelRatioF());
    m_chevron->setPixmap(m_state.expanded.contains(m_app.name) ? chevron.transformed(QTransform().rotate(90))
                                                               : chevron);
}

void AppRow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        setExpanded(!isExpanded());
        return;
    }
    QWidget::keyPressEvent(event);
}

void AppRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_line->geometry().contains(event->position().toPoint()))
        setExpanded(!isExpanded());
    QWidget::mouseReleaseEvent(event);
}

}  // namespace tarvik::ui
