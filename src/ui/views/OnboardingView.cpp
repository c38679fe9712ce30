#include "ui/views/OnboardingView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/support/Words.hpp"
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
    {"antenna.radiowaves.left.and.right", TintToken::blue, "Live ports",
     "Every server with its port, app, and memory"},
    {"sparkles", TintToken::purple, "Clean Up", "Reclaim memory from confirmed-idle listeners"},
    {"lock.shield", TintToken::orange, "Exposure", "See what's reachable beyond your Mac"},
    {"bell.badge", TintToken::red, "Heads up", "A banner when servers start or stop"},
};

}  // namespace

OnboardingView::OnboardingView(ServerStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(20, 22, 20, 18);
    m_layout->setSpacing(8);
}

void OnboardingView::rebuild() {
    const bool dark = Theme::isDark(this);
    if (m_dark == dark) return;
    m_dark = dark;
    clearLayout(m_layout);
    m_layout->addStretch(1);
    m_layout->addWidget(makeSymbol("server.rack", Theme::color(Theme::Role::accent, dark), 36, this), 0,
                        Qt::AlignHCenter);
    auto* title = makeLabel("Tarvik", 15, QFont::Bold, Theme::Role::text, dark, this);
    auto* greeting = makeLabel(
        "Tarvik keeps every local server one click away — what's running, where, and for which app.", 10,
        QFont::Normal, Theme::Role::secondaryText, dark, this);
    greeting->setWordWrap(true);
    for (auto* label : {title, greeting}) {
        label->setAlignment(Qt::AlignHCenter);
        m_layout->addWidget(label);
    }
    m_layout->addSpacing(6);

    for (const auto& feature : features) {
        auto* card = new Card(this, Card::Look::outlined);
        auto* layout = new QHBoxLayout(card);
        layout->setContentsMargins(12, 9, 12, 9);
        layout->setSpacing(12);
        layout->addWidget(makeSymbol(feature.symbol, Theme::tint(feature.tint, dark), 20, card));
        auto* text = new QVBoxLayout;
        text->setSpacing(1);
        text->addWidget(makeLabel(feature.title, 10, QFont::DemiBold, Theme::Role::text, dark, card));
        auto* line = makeLabel(qs(Words::text(feature.line)), 9, QFont::Normal, Theme::Role::secondaryText,
                               dark, card);
        line->setWordWrap(true);
        text->addWidget(line);
        layout->addLayout(text, 1);
        m_layout->addWidget(card);
    }

    m_layout->addStretch(2);
    auto* caption = makeLabel(productWebSite, 8.5, QFont::Normal, Theme::Role::tertiaryText, dark, this);
    caption->setAlignment(Qt::AlignHCenter);
    m_layout->addWidget(caption);
    auto* start = new CapsuleButton("Get Started", CapsuleButton::Style::prominent, this);
    start->setObjectName("getStarted");
    start->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    start->setFixedHeight(32);
    connect(start, &QAbstractButton::clicked, this, [this] { m_store.settings().setHasOnboarded(true); });
    m_layout->addWidget(start);
}

}  // namespace tarvik::ui
