// SPDX-License-Identifier: GPL-3.0-or-later
// Main-thread cost of mods arriving in a burst, as the search worker delivers them: 1,000 and
// 10,000 queued reports into a controller whose table is on (an offscreen) screen. The cost per
// row should stay flat as the list grows.

#include "app/controller.h"
#include "app/launcher.h"
#include "window/vxfadewindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

double appendBurst(int count) {
    Launcher launcher;
    Controller& controller = launcher.controller();
    launcher.window().show();
    QCoreApplication::processEvents();

    for (int i = 0; i < count; ++i) {
        ModEntry entry;
        entry.name = QStringLiteral("Mod number %1").arg(i);
        entry.url = QStringLiteral("www.example.com/mods/%1").arg(i);
        entry.launchName = QStringLiteral("Mod%1").arg(i);
        QMetaObject::invokeMethod(
            &controller,
            [&controller, entry = std::move(entry)]() mutable {
                controller.newUnrealModWasFound(std::move(entry));
            },
            Qt::QueuedConnection);
    }

    QElapsedTimer timer;
    timer.start();
    const QAbstractItemModel* model = controller.tableView->model();
    while (model->rowCount() < count)
        QCoreApplication::processEvents();
    // Let the view lay out and paint what arrived.
    QCoreApplication::processEvents();
    controller.tableView->viewport()->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the benchmark away from the user's own settings.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QTextStream out(stdout);
    appendBurst(200); // warm-up
    QList<int> counts{1000, 10000};
    // Other sizes may be given on the command line.
    if (argc > 1) {
        counts.clear();
        for (int i = 1; i < argc; ++i)
            counts.append(QByteArray(argv[i]).toInt());
    }
    for (const int count : counts) {
        double best = 1e300;
        for (int run = 0; run < 3; ++run)
            best = qMin(best, appendBurst(count));
        out << count << " mods: " << QString::number(best, 'f', 1) << " ms main thread, "
            << QString::number(best * 1000.0 / count, 'f', 2) << " us per mod\n";
    }
    return EXIT_SUCCESS;
}
