// The program itself starts, shows its window and keeps running.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

TEST(Startup, TheProgramComesUpAndStaysUp) {
    const QString program = QString(PELLMOR_BUILD_DIR) + "/pellmor";
    if (!QFileInfo::exists(program)) GTEST_SKIP() << "pellmor is not built";
    int argc = 1;
    char name[] = "app_startup_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir config;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    p.setProcessEnvironment(env);
    p.start(program, {});
    ASSERT_TRUE(p.waitForStarted(5000));
    EXPECT_FALSE(p.waitForFinished(1500)) << "the program ended by itself: " << p.readAllStandardError().toStdString();
    p.kill();
    p.waitForFinished(5000);
}

}  // namespace
