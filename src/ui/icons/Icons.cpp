#include "ui/icons/Icons.hpp"

#include <QPainter>

#include "ui/views/Theme.hpp"

// Placeholder drawings until the icon sets are bundled.
namespace tarvik::ui::Icons {

QPixmap symbol(std::string_view, const QColor& colour, int size, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.5));
    painter.drawEllipse(QRectF(2, 2, size - 4, size - 4));
    return pixmap;
}

QIcon symbolIcon(std::string_view name, const QColor& colour, int size) {
    return QIcon(symbol(name, colour, size, 2));
}

bool hasSymbol(std::string_view) {
    return true;
}

std::optional<std::string> brandSlug(std::string_view) {
    return std::nullopt;
}

QPixmap brand(std::string_view, const QColor&, int, qreal) {
    return {};
}

QPixmap applicationIcon(const std::string&, int) {
    return {};
}

QPixmap serverIcon(const Server& server, int size, bool dark, qreal devicePixelRatio) {
    return symbol(server.kind.symbol, Theme::tint(server.kind.tint, dark), size, devicePixelRatio);
}

}  // namespace tarvik::ui::Icons
