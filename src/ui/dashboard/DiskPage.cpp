#include "ui/dashboard/DiskPage.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

struct DiskText {
    Q_DECLARE_TR_FUNCTIONS(DiskPage)
};

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
    if (!store.checks().storageMeasuredAt())
        return QCoreApplication::translate("DiskPage", "Measuring your disk.").toStdString();
    const auto& disk = store.vitals().disk;
    if (!disk)
        return QCoreApplication::translate("DiskPage", "Here's what's using the most space.").toStdString();
    const QString free = qs(ByteFormat::storage(disk->free));
    QString line =
        disk->isLow()
            ? (QCoreApplication::translate(
                   "DiskPage", "%1 left. Linux needs free space to run smoothly. Here's what's using it."))
                  .arg(free)
            : QCoreApplication::translate("DiskPage", "%1 free. Here's what's using the most space.")
                  .arg(free);
    return line.toStdString();
}

QWidget* heading(const QString& title, const QString& line, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, Theme::Space::m, 0, Theme::Space::xs);
    layout->setSpacing(Theme::Space::xxs);
    layout->addWidget(makeLabel(title, Theme::Text::bodyLarge, QFont::DemiBold, Theme::Role::text, box));
    layout->addWidget(makeLabel(line, Theme::Text::footnote, Theme::Role::secondaryText, box));
    return box;
}

}  // namespace

StorageBlock::StorageBlock(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::s);
    layout->addWidget(heading(tr("Caches you can clear safely"),
                              tr("Caches and downloads your tools rebuild when they need them"), this));
    auto* caches = new Card(this, Card::Look::list);
    m_caches = new QVBoxLayout(caches);
    m_caches->setContentsMargins(Theme::Space::xxl, Theme::Space::xs, Theme::Space::xxl, Theme::Space::xs);
    m_caches->setSpacing(0);
    layout->addWidget(caches);

    layout->addWidget(heading(tr("Largest files"), tr("Over 500 MB, in your home folder"), this));
    auto* files = new Card(this, Card::Look::list);
    m_files = new QVBoxLayout(files);
    m_files->setContentsMargins(Theme::Space::xxl, Theme::Space::xs, Theme::Space::xxl, Theme::Space::xs);
    m_files->setSpacing(0);
    layout->addWidget(files);

    auto* trash = new QHBoxLayout;
    trash->setContentsMargins(0, Theme::Space::xs, 0, 0);
    trash->setSpacing(Theme::Space::l);
    trash->addWidget(makeWrapped(tr("Files you move to the Trash keep their space until you empty it: "
                                    "open the Trash in Files and choose Empty."),
                                 Theme::Text::footnote, Theme::Role::secondaryText, this),
                     1);
    auto* open = new CapsuleButton(tr("Open Trash"), CapsuleButton::Style::plain, this);
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
                                    std::function<void()> confirmed, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, Theme::Space::s, 0, 0);
    layout->setSpacing(Theme::Space::s);
    layout->addWidget(makeWrapped(text, Theme::Text::footnote, Theme::Role::text, box), 1);
    auto* confirm = new CapsuleButton(confirmText, CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    auto* cancel = new CapsuleButton(tr("Cancel"), CapsuleButton::Style::plain, box);
    cancel->setObjectName("cancel");
    connect(confirm, &QAbstractButton::clicked, this, [this, confirmed = std::move(confirmed)] {
        ask(std::nullopt);
        confirmed();
    });
    connect(cancel, &QAbstractButton::clicked, this, [this] { ask(std::nullopt); });
    layout->addWidget(confirm);
    layout->addWidget(cancel);
    return box;
}

QWidget* StorageBlock::makeCache(const StorageItem& item, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* outer = new QVBoxLayout(row);
    outer->setContentsMargins(0, Theme::Space::m, 0, Theme::Space::m);
    outer->setSpacing(Theme::Space::xxs);
    auto* line = new QHBoxLayout;
    line->setSpacing(Theme::Space::l);
    auto* text = new QVBoxLayout;
    text->setSpacing(Theme::Space::hairline);
    text->addWidget(makeLabel(qs(item.title), Theme::Text::callout, QFont::DemiBold, Theme::Role::text, row));
    text->addWidget(makeWrapped(qs(item.detail), Theme::Text::caption, Theme::Role::secondaryText, row));
    // Where the bytes really are, when a link leads the folder elsewhere, and what keeps them.
    if (item.realPath && item.place == StorageItem::Place::home)
        text->addWidget(makeWrapped(tr("Lives at %1.").arg(qs(*item.realPath)), Theme::Text::caption,
                                    Theme::Role::tertiaryText, row));
    for (const auto& note : {StorageScanner::placeNote(item), StorageScanner::sharedNote(item)})
        if (!note.empty())
            text->addWidget(makeWrapped(qs(note), Theme::Text::caption, Theme::Role::tertiaryText, row));
    line->addLayout(text, 1);
    line->addWidget(makeLabel(bytes(item.bytes), Theme::Text::callout, Theme::Role::secondaryText, row));

    const bool busy = m_store.checks().storageBusy().contains(item.path);
    auto button = [&](const QString& title, std::function<void()> act) {
        auto* action = new CapsuleButton(busy ? tr("Clearing…") : title, CapsuleButton::Style::plain, row);
        action->setEnabled(!busy);
        connect(action, &QAbstractButton::clicked, this, std::move(act));
        line->addWidget(action);
    };
    const bool runtime = isContainerRuntime(item);
    if (runtime && m_store.checks().dockerAvailable()) {
        button(tr("Clean up"), [this, item] { m_store.checks().cleanUpDocker(item); });
    } else if (!runtime && item.kind.tag == StorageItem::Kind::Tag::regenerable &&
               item.place == StorageItem::Place::home) {
        button(tr("Clear"), [this, path = item.path] { ask("clear:" + path); });
    }
    outer->addLayout(line);
    if (runtime && m_store.checks().dockerAvailable())
        outer->addWidget(
            makeWrapped(tr("Removes stopped containers, unused networks, dangling images and build cache. "
                           "Running containers and volumes stay."),
                        Theme::Text::caption, Theme::Role::tertiaryText, row));
    if (m_asking == "clear:" + item.path)
        outer->addWidget(makeQuestion(
            tr("Clear %1? Your tools fetch it again when they need it.").arg(qs(item.title)), tr("Clear"),
            [this, item] { m_store.checks().clear(item); }, row));
    return row;
}

QWidget* StorageBlock::makeFile(const StorageItem& item, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* outer = new QVBoxLayout(row);
    outer->setContentsMargins(0, Theme::Space::m, 0, Theme::Space::m);
    outer->setSpacing(Theme::Space::xxs);
    auto* line = new QHBoxLayout;
    line->setSpacing(Theme::Space::l);
    auto* text = new QVBoxLayout;
    text->setSpacing(Theme::Space::hairline);
    text->addWidget(makeLabel(qs(item.title), Theme::Text::callout, QFont::DemiBold, Theme::Role::text, row));
    QString detail = qs(item.detail);
    if (!item.lastUsed) detail = tr("%1  ·  Never opened").arg(detail);
    text->addWidget(makeWrapped(detail, Theme::Text::caption, Theme::Role::secondaryText, row));
    if (item.kind.tag == StorageItem::Kind::Tag::appData)
        text->addWidget(makeWrapped(tr("Belongs to %1. Remove it from inside %1.").arg(qs(item.kind.app)),
                                    Theme::Text::caption, Theme::Role::tertiaryText, row));
    line->addLayout(text, 1);
    line->addWidget(makeLabel(bytes(item.bytes), Theme::Text::callout, Theme::Role::secondaryText, row));
    auto* show = new CapsuleButton((tr("Show in Files")), CapsuleButton::Style::plain, row);
    connect(show, &QAbstractButton::clicked, this,
            [this, path = item.path] { m_store.actions().reveal(path); });
    line->addWidget(show);
    // The owning app keeps its own index of its data, so only it can remove the file safely.
    if (item.kind.tag != StorageItem::Kind::Tag::appData) {
        const bool busy = m_store.checks().storageBusy().contains(item.path);
        auto* trash =
            new CapsuleButton(busy ? tr("Moving…") : tr("Move to Trash…"), CapsuleButton::Style::plain, row);
        trash->setEnabled(!busy);
        connect(trash, &QAbstractButton::clicked, this, [this, path = item.path] { ask("trash:" + path); });
        line->addWidget(trash);
    }
    outer->addLayout(line);
    if (m_asking == "trash:" + item.path)
        outer->addWidget(makeQuestion(
            tr("Move %1 to the Trash?").arg(qs(item.title)), tr("Move to Trash"),
            [this, item] { m_store.checks().moveToTrash(item); }, row));
    return row;
}

void StorageBlock::refresh() {
    auto* caches = m_caches->parentWidget();
    clearLayout(m_caches);
    if (!m_store.checks().clearable()) {
        m_caches->addWidget(makeWrapped(tr("Measuring caches. Large ones take a few seconds."),
                                        Theme::Text::footnote, Theme::Role::secondaryText, caches));
    } else if (m_store.checks().clearable()->empty()) {
        m_caches->addWidget(makeWrapped(tr("Nothing large to clear. Your caches are small."),
                                        Theme::Text::footnote, Theme::Role::secondaryText, caches));
    } else {
        for (const auto& item : *m_store.checks().clearable()) m_caches->addWidget(makeCache(item, caches));
    }
    showItems(m_caches);

    auto* files = m_files->parentWidget();
    clearLayout(m_files);
    const auto& large = m_store.checks().largeFiles();
    // A search cut short says so rather than claiming there is nothing large.
    const bool stopped = large && !m_store.checks().largeFilesComplete();
    if (stopped)
        m_files->addWidget(makeWrapped(large->empty()
                                           ? tr("The search for large files stopped at its limit before "
                                                "it found any.")
                                           : tr("The search for large files stopped at its limit; these "
                                                "are the largest it found."),
                                       Theme::Text::footnote, Theme::Role::secondaryText, files));
    if (large && !large->empty()) {
        for (const auto& item : *large) m_files->addWidget(makeFile(item, files));
    } else if (!stopped) {
        m_files->addWidget(
            makeWrapped(large ? tr("No files over 500 MB.") : tr("Measuring your home folder."),
                        Theme::Text::footnote, Theme::Role::secondaryText, files));
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
        return Reading{bytes(disk->free), DiskText::tr("Free")};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& disk = shown.vitals().disk;
        const auto safe = safeToClear(shown);
        std::vector<Fact> facts{
            {DiskText::tr("Disk size"), disk ? std::optional(bytes(disk->total)) : std::nullopt},
            {DiskText::tr("Safe to clear"), safe ? std::optional(bytes(*safe)) : std::nullopt}};
        return facts;
    };
    page.chart = {"disk",
                  {{"disk.read", DiskText::tr("Read")}, {"disk.write", DiskText::tr("Write")}},
                  [](double value) { return qs(ByteFormat::rate(value)); },
                  std::nullopt,
                  false};
    auto* result = new MetricPage(store, std::move(page), parent);
    auto* chartCard = result->chart()->parentWidget();
    static_cast<QVBoxLayout*>(chartCard->layout())
        ->insertWidget(0, makeLabel(DiskText::tr("Disk activity"), Theme::Text::subheadline, QFont::DemiBold,
                                    Theme::Role::secondaryText, chartCard));
    auto* block = new StorageBlock(store, result);
    result->setExtra(block, [block] { block->refresh(); });
    result->table()->hide();
    return result;
}

}  // namespace tarvik::ui
