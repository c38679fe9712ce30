#include "ui/icons/Icons.hpp"

#include <QCache>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <utility>

#include "ui/linux/DesktopEntry.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui::Icons {

namespace {

using Names = std::pair<std::string_view, std::string_view>;

// Kind names and their Simple Icons slugs.
constexpr auto brandTable = std::to_array<Names>({
    {"Node", "nodedotjs"},
    {"Vite", "vite"},
    {"Next.js", "nextdotjs"},
    {"React", "react"},
    {"Nuxt", "nuxt"},
    {"Astro", "astro"},
    {"Remix", "remix"},
    {"Storybook", "storybook"},
    {"webpack", "webpack"},
    {"Bun", "bun"},
    {"Deno", "deno"},
    {"Electron", "electron"},
    {"Python", "python"},
    {"Flask", "flask"},
    {"Django", "django"},
    {"Jupyter", "jupyter"},
    {"Streamlit", "streamlit"},
    {"Rails", "rubyonrails"},
    {"Laravel", "laravel"},
    {"PHP", "php"},
    {"PostgreSQL", "postgresql"},
    {"MySQL", "mysql"},
    {"Redis", "redis"},
    {"MongoDB", "mongodb"},
    {"ClickHouse", "clickhouse"},
    {"Elasticsearch", "elasticsearch"},
    {"nginx", "nginx"},
    {"Caddy", "caddy"},
    {"Apache", "apache"},
    {"ngrok", "ngrok"},
    {"Cloudflare Tunnel", "cloudflare"},
    {"Tailscale", "tailscale"},
    {"Ollama", "ollama"},
    {"Docker", "docker"},
    {"Expo", "expo"},
});

// A tile's mark fills its middle five eighths; its corners are rounded like an application icon's.
constexpr double markShare = 0.625;
constexpr double cornerShare = 0.225;

std::optional<std::string_view> lookup(std::span<const Names> table, std::string_view key) {
    auto found =
        std::find_if(table.begin(), table.end(), [&](const Names& names) { return names.first == key; });
    if (found == table.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> keys(std::span<const Names> table) {
    std::vector<std::string> keys;
    for (const auto& names : table) keys.emplace_back(names.first);
    return keys;
}

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Names given by callers become resource paths, so only plain file names pass.
bool isFileName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

// The resource of a drawing in `folder`; nullopt when there is none.
std::optional<QString> resource(std::string_view folder, std::string_view file) {
    if (!isFileName(file)) return std::nullopt;
    QString path = QStringLiteral(":/icons/%1/%2.svg").arg(qt(folder), qt(file));
    if (!QFile::exists(path)) return std::nullopt;
    return path;
}

std::optional<QString> symbolResource(std::string_view name) {
    return resource("phosphor", name);
}

int devicePixels(int size, qreal devicePixelRatio) {
    return static_cast<int>(std::lround(size * devicePixelRatio));
}

// Rendered pixmaps by what they show, costed in kilobytes.
QCache<QString, QPixmap>& cache() {
    static QCache<QString, QPixmap> pixmaps(8 * 1024);
    return pixmaps;
}

QString cacheKey(QStringView kind, const QString& what, const QColor& colour, int pixels,
                 qreal devicePixelRatio) {
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(kind, what, QString::number(colour.rgba(), 16), QString::number(pixels),
             QString::number(devicePixelRatio));
}

QPixmap remembered(const QString& key, QImage image, qreal devicePixelRatio) {
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache().insert(key, new QPixmap(pixmap), std::max(1LL, pixmap.width() * pixmap.height() * 4LL / 1024));
    return pixmap;
}

QImage transparentImage(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The drawing at `path` in `colour`, `pixels` device pixels square.
QPixmap render(const QString& path, const QColor& colour, int pixels, qreal devicePixelRatio) {
    QString key = cacheKey(u"svg", path, colour, pixels, devicePixelRatio);
    if (const QPixmap* cached = cache().object(key)) return *cached;
    QSvgRenderer renderer(path);
    if (!renderer.isValid() || pixels <= 0) return {};
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QImage image = transparentImage(pixels);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The drawings are black on nothing; filling only where they cover recolours them.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    return remembered(key, std::move(image), devicePixelRatio);
}

QPixmap tiled(const std::optional<QString>& path, const QColor& tint, int size, qreal devicePixelRatio) {
    int pixels = devicePixels(size, devicePixelRatio);
    if (!path || pixels <= 0) return {};
    QString key = cacheKey(u"tile", *path, tint, pixels, devicePixelRatio);
    if (const QPixmap* cached = cache().object(key)) return *cached;
    int markPixels = static_cast<int>(std::lround(pixels * markShare));
    QPixmap mark = render(*path, tint, markPixels, 1);
    if (mark.isNull()) return {};
    QImage image = transparentImage(pixels);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor ground = tint;
    ground.setAlphaF(0.15f);
    painter.setBrush(ground);
    painter.drawRoundedRect(QRectF(0, 0, pixels, pixels), pixels * cornerShare, pixels * cornerShare);
    int inset = (pixels - markPixels) / 2;
    painter.drawPixmap(inset, inset, mark);
    painter.end();
    return remembered(key, std::move(image), devicePixelRatio);
}

// `image` scaled to fit `pixels` square and centred on a transparent square of that size.
QImage squared(const QImage& image, int pixels) {
    if (image.isNull()) return {};
    QSize fitted = image.size().scaled(pixels, pixels, Qt::KeepAspectRatio);
    QImage square = transparentImage(pixels);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint((pixels - fitted.width()) / 2, (pixels - fitted.height()) / 2), fitted),
                      image);
    return square;
}

QImage imageFile(const QString& path, int pixels) {
    // A fifo or a device would block the GUI thread.
    if (!QFileInfo(path).isFile()) return {};
    QImageReader reader(path);
    if (QSize natural = reader.size(); natural.isValid())
        reader.setScaledSize(natural.scaled(pixels, pixels, Qt::KeepAspectRatio));
    return reader.read();
}

QImage entryIcon(const std::string& desktopEntryPath, int size, qreal devicePixelRatio) {
    int pixels = devicePixels(size, devicePixelRatio);
    auto text = DesktopEntry::read(desktopEntryPath);
    if (!text || pixels <= 0) return {};
    auto name = DesktopEntry::value(*text, "Icon");
    if (!name || name->empty()) return {};
    QString icon = qt(*name);
    if (QFileInfo(icon).isAbsolute()) return squared(imageFile(icon, pixels), pixels);
    return squared(QIcon::fromTheme(icon).pixmap(QSize(size, size), devicePixelRatio).toImage(), pixels);
}

}  // namespace

QPixmap symbol(std::string_view name, const QColor& colour, int size, qreal devicePixelRatio) {
    auto path = symbolResource(name);
    if (!path) return {};
    return render(*path, colour, devicePixels(size, devicePixelRatio), devicePixelRatio);
}

QIcon symbolIcon(std::string_view name, const QColor& colour, int size) {
    return QIcon(symbol(name, colour, size, 2));
}

bool hasSymbol(std::string_view name) {
    return symbolResource(name).has_value();
}

std::vector<std::string> symbolNames() {
    std::vector<std::string> names;
    for (const QString& file : QDir(QStringLiteral(":/icons/phosphor")).entryList({QStringLiteral("*.svg")}))
        names.push_back(file.chopped(4).toStdString());
    return names;
}

std::optional<std::string> brandSlug(std::string_view kindName) {
    if (auto slug = lookup(brandTable, kindName)) return std::string(*slug);
    return std::nullopt;
}

std::vector<std::string> brandedKindNames() {
    return keys(brandTable);
}

QPixmap brand(std::string_view slug, const QColor& colour, int size, qreal devicePixelRatio) {
    auto path = resource("brands", slug);
    if (!path) return {};
    return render(*path, colour, devicePixels(size, devicePixelRatio), devicePixelRatio);
}

QPixmap tiledSymbol(std::string_view name, const QColor& tint, int size, qreal devicePixelRatio) {
    return tiled(symbolResource(name), tint, size, devicePixelRatio);
}

QPixmap tiledBrand(std::string_view slug, const QColor& tint, int size, qreal devicePixelRatio) {
    return tiled(resource("brands", slug), tint, size, devicePixelRatio);
}

QPixmap applicationIcon(const std::string& desktopEntryPath, int size, qreal devicePixelRatio) {
    QString key = cacheKey(u"app", QFile::decodeName(QByteArray::fromStdString(desktopEntryPath)), QColor(),
                           devicePixels(size, devicePixelRatio), devicePixelRatio);
    if (const QPixmap* cached = cache().object(key)) return *cached;
    // A missing icon is remembered too, so rows without one do not read the entry on every paint.
    QImage image = entryIcon(desktopEntryPath, size, devicePixelRatio);
    if (image.isNull()) {
        cache().insert(key, new QPixmap(), 1);
        return {};
    }
    return remembered(key, std::move(image), devicePixelRatio);
}

QPixmap serverIcon(const Server& server, int size, bool dark, qreal devicePixelRatio) {
    QColor tint = Theme::tint(server.kind.tint, dark);
    if (auto slug = brandSlug(server.kind.name)) return tiledBrand(*slug, tint, size, devicePixelRatio);
    if (server.desktopEntryPath) {
        QPixmap icon = applicationIcon(*server.desktopEntryPath, size, devicePixelRatio);
        if (!icon.isNull()) return icon;
    }
    std::string_view name =
        hasSymbol(server.kind.symbol) ? std::string_view(server.kind.symbol) : "hard-drives";
    return tiledSymbol(name, tint, size, devicePixelRatio);
}

}  // namespace tarvik::ui::Icons
