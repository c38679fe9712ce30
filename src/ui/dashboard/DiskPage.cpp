#include "ui/dashboard/DiskPage.hpp"

#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

QString bytes(std::uint64_t value) {
    return qs(ByteFormat::storage(value));
}

// Docker's data is reclaimed through Docker itself, never by deleting its folder.
bool isContainerRuntime(const StorageItem& item) {
    return item.kind.app == "Docker" ||
           QString::fromStdString(item.path).contains("docker", Qt::CaseInsensitive);
}

std::optional<std::uint64_t> safeToClear(const ServerStore& store) {
    if (!store.checks().clearable()) return std::nullopt;
    std::uint64_t total = 0;
    // A cache outside the home folder is not cleared here, and hard-linked bytes stay when it goes.
    for (const auto& item : *store.checks().clearable())
        if (item.kind.tag == StorageItem::Kind::Tag::regenerable && item.place == StorageItem::Place::home)
            total += item.freeableBytes();
    return total;
}

std::string capacityLine(const ServerStore& store) {
    if (!store.checks().storageMeasuredAt()) return "Measuring your disk.";
    const auto& disk = store.vitals().disk;
    if (!disk) return "Here's what's using the most space.";
    std::string line = ByteFormat::storage(disk->free);
    line += disk->isLow() ? " left. Linux needs free space to run smoothly. Here's what's using it."
                          : std::string(" free. Here's what's using the most space.");
    return line;
}

QLabel* wrapped(const QString& text, qreal points, Theme::Role role, bool dark, QWidget* parent) {
    auto* label = makeLabel(text, points, QFont::Normal, role, dark, parent);
    label->setWordWrap(true);
    return label;
}

QWidget* heading(const QString& title, const QString& line, bool dark, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 8, 0, 4);
    layout->setSpacing(2);
    layout->addWidget(makeLabel(title, 12, QFont::DemiBold, Theme::Role::text, dark, box));
    layout->addWidget(makeLabel(line, 9.5, QFont::Normal, Theme::Role::secondaryText, dark, box));
    return box;
}

}  // namespace

StorageBlock::StorageBlock(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    const bool dark = Theme::isDark(parent);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(heading("Caches you can clear safely",
                              "Caches and downloads your tools rebuild when they need them", dark, this));
    auto* caches = new Card(this, Card::Look::list);
    m_caches = new QVBoxLayout(caches);
    m_caches->setContentsMargins(14, 4, 14, 4);
    m_caches->setSpacing(0);
    layout->addWidget(caches);

    layout->addWidget(heading("Largest files", "Over 500 MB, in your home folder", dark, this));
    auto* files = new Card(this, Card::Look::list);
    m_files = new QVBoxLayout(files);
    m_files->setContentsMargins(14, 4, 14, 4);
    m_files->setSpacing(0);
    layout->addWidget(files);

    auto* trash = new QHBoxLayout;
    trash->setContentsMargins(0, 4, 0, 0);
    trash->setSpacing(10);
    trash->addWidget(wrapped(qs("Files you move to the Trash keep their space until you empty it: "
                                "open the Trash in Files and choose Empty."),
                             9.5, Theme::Role::secondaryText, dark, this),
                     1);
    auto* open = new CapsuleButton("Open Trash", CapsuleButton::Style::plain, this);
    connect(open, &QAbstractButton::clicked, this, [this] { m_store.actions().openTrash(); });
    trash->addWidget(open);
    layout->addLayout(trash);
    refresh();
}

void StorageBlock::ask(std::optional<std::string> key) {
    m_asking = std::move(key);
    QTimer::singleShot(0, this, [this] { refresh(); });
}

QWidget* StorageBlock::makeQuestion(const QString& text, const QString& confirmText,
                                    std::function<void()> confirmed, bool dark, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(wrapped(text, 9.5, Theme::Role::text, dark, box), 1);
    auto* confirm = new CapsuleButton(confirmText, CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    auto* cancel = new CapsuleButton("Cancel", CapsuleButton::Style::plain, box);
    connect(confirm, &QAbstractButton::clicked, this, [this, confirmed = std::move(confirmed)] {
        ask(std::nullopt);
        confirmed();
    });
    connect(cancel, &QAbstractButton::clicked, this, [this] { ask(std::nullopt); });
    layout->addWidget(confirm);
    layout->addWidget(cancel);
    return box;
}

QWidget* StorageBlock::makeCache(const StorageItem& item, bool dark, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* outer = new QVBoxLayout(row);
    outer->setContentsMargins(0, 8, 0, 8);
    outer->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(10);
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addWidget(makeLabel(qs(item.title), 10.5, QFont::DemiBold, Theme::Role::text, dark, row));
    text->addWidget(wrapped(qs(item.detail), 9, Theme::Role::secondaryText, dark, row));
    // Where the bytes really are, when a link leads the folder elsewhere, and what keeps them.
    if (item.realPath && item.place == StorageItem::Place::home)
        text->addWidget(
            wrapped(tr("Lives at %1.").arg(qs(*item.realPath)), 9, Theme::Role::tertiaryText, dark, row));
    for (const auto& note : {StorageScanner::placeNote(item), StorageScanner::sharedNote(item)})
        if (!note.empty()) text->addWidget(wrapped(qs(note), 9, Theme::Role::tertiaryText, dark, row));
    line->addLayout(text, 1);
    line->addWidget(makeLabel(bytes(item.bytes), 10.5, QFont::Normal, Theme::Role::secondaryText, dark, row));

    const bool busy = m_store.checks().storageBusy().contains(item.path);
    auto button = [&](const QString& title, std::function<void()> act) {
        auto* action =
            new CapsuleButton(busy ? QString("Clearing…") : title, CapsuleButton::Style::plain, row);
        action->setEnabled(!busy);
        connect(action, &QAbstractButton::clicked, this, std::move(act));
        line->addWidget(action);
    };
    const bool runtime = isContainerRuntime(item);
    if (runtime && m_store.checks().dockerAvailable()) {
        button("Clean up", [this, item] { m_store.checks().cleanUpDocker(item); });
    } else if (!runtime && item.kind.tag == StorageItem::Kind::Tag::regenerable &&
               item.place == StorageItem::Place::home) {
        button("Clear", [this, path = item.path] { ask("clear:" + path); });
    }
    outer->addLayout(line);
    if (runtime && m_store.checks().dockerAvailable())
        outer->addWidget(
            wrapped("Removes stopped containers, unused networks, dangling images and build cache. "
                    "Running containers and volumes stay.",
                    9, Theme::Role::tertiaryText, dark, row));
    if (m_asking == "clear:" + item.path)
        outer->addWidget(makeQuestion(
            qs("Clear " + item.title + "? Your tools fetch it again when they need it."), "Clear",
            [this, item] { m_store.checks().clear(item); }, dark, row));
    return row;
}

QWidget* StorageBlock::makeFile(const StorageItem& item, bool dark, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* outer = new QVBoxLayout(row);
    outer->setContentsMargins(0, 8, 0, 8);
    outer->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(10);
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addWidget(makeLabel(qs(item.title), 10.5, QFont::DemiBold, Theme::Role::text, dark, row));
    QString detail = qs(item.detail);
    if (!item.lastUsed) detail += QString::fromUtf8("  ·  ") + "Never opened";
    text->addWidget(wrapped(detail, 9, Theme::Role::secondaryText, dark, row));
    if (item.kind.tag == StorageItem::Kind::Tag::appData)
        text->addWidget(
            wrapped(qs("Belongs to " + item.kind.app + ". Remove it from inside " + item.kind.app + "."), 9,
                    Theme::Role::tertiaryText, dark, row));
    line->addLayout(text, 1);
    line->addWidget(makeLabel(bytes(item.bytes), 10.5, QFont::Normal, Theme::Role::secondaryText, dark, row));
    auto* show = new CapsuleButton(tr("Show in Files"), CapsuleButton::Style::plain, row);
    connect(show, &QAbstractButton::clicked, this, [this, path = item.path] { m_store.actions().reveal(path); });
    line->addWidget(show);
    // The owning app keeps its own index of its data, so only it can remove the file safely.
    if (item.kind.tag != StorageItem::Kind::Tag::appData) {
        const bool busy = m_store.checks().storageBusy().contains(item.path);
        auto* trash = new CapsuleButton(busy ? QString("Moving…") : QString("Move to Trash…"),
                                        CapsuleButton::Style::plain, row);
        trash->setEnabled(!busy);
        connect(trash, &QAbstractButton::clicked, this, [this, path = item.path] { ask("trash:" + path); });
        line->addWidget(trash);
    }
    outer->addLayout(line);
    if (m_asking == "trash:" + item.path)
        outer->addWidget(makeQuestion(
            qs("Move " + item.title + " to the Trash?"), "Move to Trash",
            [this, item] { m_store.checks().moveToTrash(item); }, dark, row));
    return row;
}

void StorageBlock::refresh() {
    const bool dark = Theme::isDark(this);
    auto* caches = m_caches->parentWidget();
    clearLayout(m_caches);
    if (!m_store.checks().clearable()) {
        m_caches->addWidget(wrapped("Measuring caches. Large ones take a few seconds.", 9.5,
                                    Theme::Role::secondaryText, dark, caches));
    } else if (m_store.checks().clearable()->empty()) {
        m_caches->addWidget(wrapped("Nothing large to clear. Your caches are small.", 9.5,
                                    Theme::Role::secondaryText, dark, caches));
    } else {
        for (const auto& item : *m_store.checks().clearable())
            m_caches->addWidget(makeCache(item, dark, caches));
    }
    showItems(m_caches);

    auto* files = m_files->parentWidget();
    clearLayout(m_files);
    const auto& large = m_store.checks().largeFiles();
    // A search cut short says so rather than claiming there is nothing large.
    const bool stopped = large && !m_store.checks().largeFilesComplete();
    if (stopped)
        m_files->addWidget(wrapped(large->empty()
                                       ? tr("The search for large files stopped at its limit before "
                                            "it found any.")
                                       : tr("The search for large files stopped at its limit; these "
                                            "are the largest it found."),
                                   9.5, Theme::Role::secondaryText, dark, files));
    if (large && !large->empty()) {
        for (const auto& item : *large) m_files->addWidget(makeFile(item, dark, files));
    } else if (!stopped) {
        m_files->addWidget(wrapped(large ? "No files over 500 MB." : "Measuring your home folder.", 9.5,
                                   Theme::Role::secondaryText, dark, files));
    }
    showItems(m_files);
}

MetricPage* makeDiskPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::disk;
    page.sentence = capacityLine;
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& disk = shown.vitals().disk;
        if (!disk) return std::nullopt;
        return Reading{bytes(disk->free), "Free"};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& disk = shown.vitals().disk;
        const auto safe = safeToClear(shown);
        std::vector<Fact> facts{{"Disk size", disk ? std::optional(bytes(disk->total)) : std::nullopt},
                                {"Safe to clear", safe ? std::optional(bytes(*safe)) : std::nullopt}};
        return facts;
    };
    page.chart = {"disk",
                  {{"disk.read", "Read"}, {"disk.write", "Write"}},
                  [](double value) { return qs(ByteFormat::rate(value)); },
                  std::nullopt,
                  false};
    auto* result = new MetricPage(store, std::move(page), parent);
    auto* chartCard = result->chart()->parentWidget();
    static_cast<QVBoxLayout*>(chartCard->layout())
        ->insertWidget(0, makeLabel("Disk activity", 10, QFont::DemiBold, Theme::Role::secondaryText,
                                    Theme::isDark(parent), chartCard));
    auto* block = new StorageBlock(store, result);
    result->setExtra(block, [block] { block->refresh(); });
    result->table()->hide();
    return result;
}

}  // namespace tarvik::ui
