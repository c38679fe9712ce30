#pragma once

#include <QWidget>

namespace tarvik::ui {

class ServerStore;

// What the panel shows until the user has been through it once: a greeting, what Tarvik does in
// four cards, and "Get Started", which records that the user has seen it. Built once; its colours
// follow the appearance.
class OnboardingView : public QWidget {
    Q_OBJECT

public:
    OnboardingView(ServerStore& store, QWidget* parent);

private:
    ServerStore& m_store;
};

}  // namespace tarvik::ui
