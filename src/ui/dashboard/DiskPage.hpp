#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "core/storage/StorageScanner.hpp"

class QVBoxLayout;

namespace tarvik::ui {

class MetricPage;
class ServerStore;

// The caches that can go and the largest files, each with its action behind one question.
class StorageBlock : public QWidget {
    Q_OBJECT

public:
    StorageBlock(ServerStore& store, QWidget* parent);
    void refresh();

private:
    [[nodiscard]] QWidget* makeCache(const StorageItem& item, QWidget* parent);
    [[nodiscard]] QWidget* makeFile(const StorageItem& item, QWidget* parent);
    [[nodiscard]] QWidget* makeQuestion(const QString& text, const QString& confirmText,
                                        std::function<void()> confirmed, QWidget* parent);
    // Rebuilt on the next turn of the event loop: the button that asks may not be deleted in its
    // own click.
    void ask(std::optional<std::string> key);

    ServerStore& m_store;
    std::optional<std::string> m_asking;  // "clear:PATH" or "trash:PATH"
    QVBoxLayout* m_caches;
    QVBoxLayout* m_files;
};

// The disk page: free space, what fills the disk and what can be cleared safely.
[[nodiscard]] MetricPage* makeDiskPage(ServerStore& store, QWidget* parent);

}  // namespace tarvik::ui
