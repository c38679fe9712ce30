#include "ui/ShownText.hpp"

#include "core/support/Unicode.hpp"

namespace tarvik::ui {

QString qs(std::string_view text) {
    const auto shown = Unicode::visible(text);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

}  // namespace tarvik::ui
