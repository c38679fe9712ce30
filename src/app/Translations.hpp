#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QStringList>

class QTranslator;

namespace tarvik::app {

// The folders that may hold the interface's translations, in the order they are tried: the data
// folder of the installation the program runs from (`programFolder`/../share), then the user's
// and the system's data folders.
[[nodiscard]] QStringList translationFolders(
    const QString& programFolder = QCoreApplication::applicationDirPath());

// Installs into the application the first `tarvik_<language>.qm` that `folders` hold for `locale`
// (tarvik_de_DE.qm, else tarvik_de.qm for de_DE). The application owns it; nullptr when there is
// none, and the interface stays English.
QTranslator* installTranslation(const QLocale& locale, const QStringList& folders);

}  // namespace tarvik::app
