#include "ui/views/OnboardingView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

struct Feature {
    const char* symbol;
    TintToken tint;
    const char* title;
    const char* line;
};

constexpr Feature features[] = {
    {"broadcast", TintToken::blue, QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Live ports"),
     QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Every server with its port, app, and memory")},
    {"sparkle", TintToken::purple, QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Clean Up"),
     QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Reclaim memory from confirmed-idle listeners")},
    {"shield-check", TintToken::orange, QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Exposure"),
     QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "See what's reachable beyond your computer")},
    {"bell-ringing", TintToken::red, QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "Heads up"),
     QT_TRANSLATE_NOOP("tarvik::ui::OnboardingView", "A banner when servers start or stop")},
};

}  // namespace

OnboardingView::OnboardingView(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(Theme::Space::huge, Theme::Space::huge, Theme::Space::huge, Theme::Space::huge);
    page->setSpacing(Theme::Space::m);
    page->addStretch(1);
    page->addWidget(makeSymbol("hard-drives", Theme::Role::accent, 36, this), 0, Qt::AlignHCenter);
    auto* title = makeLabel(QStringLiteral("Tarvik"), Theme::Text::title3, Theme::Role::text, this);
    auto* greeting = makeLabel(
        tr("Tarvik keeps every local server one click away — what's running, where, and for which app."),
        Theme::Text::subheadline, Theme::Role::secondaryText, this);
    greeting->setWordWrap(true);
    for (auto* label : {title, greeting}) {
        label->setAlignment(Qt::AlignHCenter);
        page->addWidget(label);
    }
    page->addSpacing(Theme::Space::s);

    for (const auto& feature : features) {
        auto* card = new Card(this, Card::Look::outlined);
        auto* layout = new QHBoxLayout(card);
        layout->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::xl, Theme::Space::m);
        layout->setSpacing(Theme::Space::xl);
        layout->addWidget(makeSymbol(feature.symbol, feature.tint, 20, card));
        auto* text = new QVBoxLayout;
        text->setSpacing(Theme::Space::hairline);
        text->addWidget(
            makeLabel(tr(feature.title), Theme::Text::subheadline, QFont::DemiBold, Theme::Role::text, card));
        auto* line = makeLabel(tr(feature.line), Theme::Text::caption, Theme::Role::secondaryText, card);
        line->setWordWrap(true);
        text->addWidget(line);
        layout->addLayout(text, 1);
        page->addWidget(card);
    }

    page->addStretch(2);
    auto* caption = makeLabel(productWebSite, Theme::Text::caption2, Theme::Role::tertiaryText, this);
    caption->setAlignment(Qt::AlignHCenter);
    page->addWidget(caption);
    auto* start = new CapsuleButton(tr("Get Started"), CapsuleButton::Style::prominent, this);
    start->setObjectName("getStarted");
    start->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    start->setFixedHeight(Theme::Size::control);
    connect(start, &QAbstractButton::clicked, this, [this] { m_store.settings().setHasOnboarded(true); });
    page->addWidget(start);
}

}  // namespace tarvik::ui
