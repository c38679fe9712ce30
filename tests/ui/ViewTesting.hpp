#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace tarvik::test {

// What the user can read in `view` when it shows: the labels' and the buttons' texts.
inline QStringList shownTexts(const QWidget& view) {
    QStringList result;
    for (auto* label : view.findChildren<QLabel*>())
        if (label->isVisibleTo(&view) && !label->text().isEmpty()) result << label->text();
    for (auto* button : view.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&view) && !button->text().isEmpty()) result << button->text();
    return result;
}

}  // namespace tarvik::test
