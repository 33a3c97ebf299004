// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

// Runs one test object in an application whose HOME is a fresh temporary folder, so that no test
// reads or writes the user's own settings or game log.
template <typename TestObject> int runIsolatedTest(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/modgate-test-XXXXXX"));
    if (!home.isValid())
        return EXIT_FAILURE;
    const QByteArray homePath = QFile::encodeName(home.path());
    qputenv("HOME", homePath);
    qputenv("XDG_CONFIG_HOME", homePath + "/.config");
    qputenv("XDG_DATA_HOME", homePath + "/.local/share");
    qputenv("XDG_CACHE_HOME", homePath + "/.cache");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestObject test;
    return QTest::qExec(&test, argc, argv);
}

#define MODGATE_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char** argv) {                                                              \
        return runIsolatedTest<TestObject>(argc, argv);                                            \
    }
