#include "ui/linux/QtSettingsStore.hpp"

#include <gtest/gtest.h>

#include "support/TempDir.hpp"

namespace tarvik::ui {
namespace {

TEST(QtSettingsStore, KeepsBoolsAndStringsApartAfterARestart) {
    test::TempDir dir;
    QString file = QString::fromStdString(dir / "Tarvik.conf");
    QtSettingsStore(file).setValue("notify", true);
    QtSettingsStore(file).setValue("quiet", false);
    QtSettingsStore(file).setValue("display", "memory");

    // QSettings caches what a process wrote; a copy of the file reads as a new process would.
    std::filesystem::copy_file(dir / "Tarvik.conf", dir / "copy.conf");
    QtSettingsStore reopened(QString::fromStdString(dir / "copy.conf"));
    EXPECT_EQ(reopened.value("notify").typeId(), QMetaType::Bool);
    EXPECT_EQ(reopened.value("notify"), QVariant(true));
    EXPECT_EQ(reopened.value("quiet"), QVariant(false));
    EXPECT_EQ(reopened.value("display"), QVariant("memory"));
    EXPECT_FALSE(reopened.value("missing").isValid());
}

}  // namespace
}  // namespace tarvik::ui
