// SPDX-License-Identifier: GPL-3.0-or-later
// Time to select a mod whose description is 1 MiB long: bench_selectiondescription [KiB]
// The real window, offscreen, 560x640. Each run selects the plain game, then the mod, and paints
// the window: the time from the selection to the end of that paint. Prints the median and slowest
// of 20, and the peak memory. The argument sets the description's length in KiB of characters
// (1024 by default; 1 gives the cost of a selection itself). Goal: at most 100 ms.

#include "app/controller.h"
#include "app/launcher.h"
#include "peakmemory.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int kib = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1024;
    UserDefaults::standard().setObjectForKey(home.filePath(QStringLiteral("game")),
                                             QStringLiteral("unrealPath"));

    // Words, line breaks and a link now and then, as a long description has them.
    QString description;
    for (int i = 0; description.size() < kib * 1024; ++i)
        description += i % 50 == 49   ? QStringLiteral("http://example.org/%1 ").arg(i)
                       : i % 20 == 19 ? QStringLiteral("line|")
                                      : QStringLiteral("word%1 ").arg(i);
    description.truncate(kib * 1024);
    ModEntry mod{QStringLiteral("Long"), {}, {}, QStringLiteral("Long")};
    mod.description = description;

    Launcher launcher;
    Controller& controller = launcher.controller();
    controller.setUpLinkColumn();
    controller.newUnrealModWasFound({QStringLiteral("UT2004"), {}, {}, {}});
    controller.newUnrealModWasFound(mod);
    launcher.window().resize(560, 640);
    launcher.window().show();
    QCoreApplication::processEvents();

    constexpr int runs = 20;
    std::vector<double> times;
    for (int n = 0; n <= runs; ++n) {
        controller.tableView->selectRow(0);
        QCoreApplication::processEvents();
        launcher.window().repaint();
        QElapsedTimer timer;
        timer.start();
        controller.tableView->selectRow(1);
        QCoreApplication::processEvents();
        launcher.window().repaint();
        if (n > 0)
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    QTextStream(stdout) << "selecting a mod with a description of " << kib << " KiB, " << runs
                        << " selections: median "
                        << QString::number(times[times.size() / 2], 'f', 1) << " ms, slowest "
                        << QString::number(times.back(), 'f', 1) << " ms; peak memory "
                        << QString::number(double(peakResidentKiB()) / 1024, 'f', 1) << " MiB\n";
    return EXIT_SUCCESS;
}
