#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace tarvik::test {

// What the user can read in `view` when it shows: the labels' and the buttons' texts, without the
// invisible breaks that let long words wrap.
inline QStringList shownTexts(const QWidget& view) {
    QStringList result;
    for (auto* label : view.findChildren<QLabel*>())
        if (label->isVisibleTo(&view) && !label->text().isEmpty())
            result << QString(label->text()).remove(QChar(0x200B));
    for (auto* button : view.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&view) && !button->text().isEmpty()) result << button->text();
    return result;
}

// A rebuild asked for while events are handled, or a palette passed down, comes on a later pass.
inline void settle() {
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
}

// Clicks the `index`th visible button in `view` that shows `text`, holds a label showing it (a row),
// or is named so, else a hidden one of that name (shown on hover); then lets the view settle.
inline void click(const QWidget& view, const QString& text, int index = 0) {
    settle();
    for (auto* button : view.findChildren<QAbstractButton*>()) {
        const auto labels = button->findChildren<QLabel*>();
        const bool shows =
            button->text() == text || button->objectName() == text ||
            std::any_of(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == text; });
        if (shows && button->isVisibleTo(&view) && index-- == 0) {
            button->click();
            return settle();
        }
    }
    if (auto* named = view.findChild<QAbstractButton*>(text)) {
        named->click();
        return settle();
    }
    ADD_FAILURE() << "nothing to click shows " << text.toStdString();
}

}  // namespace tarvik::test
