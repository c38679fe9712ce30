#pragma once

#include <QLabel>
#include <functional>

namespace tarvik::ui {

class ServerStore;

// The store's toast as a dark capsule near the bottom of its parent, over whatever is there, for
// as long as the store shows it. `allowed` can hold it back (nothing to say it while onboarding).
class Toast : public QLabel {
public:
    Toast(ServerStore& store, QWidget* parent, std::function<bool()> allowed = {});

    // Shows, hides and places it after the store or the parent changed.
    void place();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    ServerStore& m_store;
    std::function<bool()> m_allowed;
};

}  // namespace tarvik::ui
