#include "app/Translations.hpp"

#include <QDir>
#include <QStandardPaths>
#include <QTranslator>

namespace tarvik::app {

namespace {
constexpr const char* subfolder = "tarvik/translations";
}  // namespace

QStringList translationFolders(const QString& programFolder) {
    // A build run from an unpacked prefix finds its own translations before an installed copy's.
    QStringList folders{
        QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral("../share/") + subfolder))};
    folders += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, subfolder,
                                         QStandardPaths::LocateDirectory);
    folders.removeDuplicates();
    return folders;
}

QTranslator* installTranslation(const QLocale& locale, const QStringList& folders) {
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, QStringLiteral("tarvik"), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator))
            return translator;
        delete translator;
    }
    return nullptr;
}

}  // namespace tarvik::app
