#pragma once

#include <QLabel>

#include "ui/views/Theme.hpp"

namespace tarvik::ui {

// A label in a text style whose colour follows the appearance. These are templates only so that
// plain functions of the same shape in the panel kit, once it has them, win overload resolution
// and these stand aside without a clash.
template <int = 0>
QLabel* makeLabel(const QString& text, Theme::Text style, QFont::Weight weight, Theme::Role role,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(Theme::font(style, weight));
    label->setTextFormat(Qt::PlainText);
    Theme::setForeground(label, role);
    return label;
}

template <int = 0>
QLabel* makeLabel(const QString& text, Theme::Text style, Theme::Role role, QWidget* parent) {
    return makeLabel<0>(text, style, Theme::weight(style), role, parent);
}

}  // namespace tarvik::ui
