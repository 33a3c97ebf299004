// SPDX-License-Identifier: GPL-3.0-or-later
// Time from selecting a mod to its logo in the details pane: bench_selectionlogo
// The real window, offscreen, over a mod whose logo (512x128, masked 8-bit) is the last export
// of a 64 MiB package. Each selection names the logo in another letter case, so each one misses
// the logo cache and is read again by the worker (the file itself stays in the system's cache:
// warm). Prints the median and slowest of 50. Goal: at most 20 ms.

#include "app/controller.h"
#include "app/launcher.h"
#include "packagewriter/texturepackagewriter.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

using namespace packagewriter;

namespace {

bool writePackage(const QString& file) {
    PackageBuilder builder;
    QImage filler(256, 256, QImage::Format_ARGB32);
    filler.fill(Qt::darkCyan);
    for (int i = 0; i < 256; ++i)
        builder.addTexture(QStringLiteral("Filler.Texture%1").arg(i), filler, Format::RGBA8);
    QImage logo(512, 128, QImage::Format_ARGB32);
    logo.fill(Qt::darkBlue);
    TextureOptions options;
    options.masked = true;
    builder.addTexture(QStringLiteral("Menu.Logo"), logo, Format::P8, options);
    const QByteArray bytes = builder.bytes();
    QFile out(file);
    return QDir().mkpath(QFileInfo(file).path()) && out.open(QIODevice::WriteOnly) &&
           out.write(bytes) == bytes.size();
}

// "Big.Menu.Logo" with the letters of its object path in the case the bits of n give.
QString logoName(int n) {
    QString path = QStringLiteral("menu.logo");
    for (int i = 0, bit = 0; i < path.size(); ++i)
        if (path[i].isLetter() && (n >> bit++) & 1)
            path[i] = path[i].toUpper();
    return QStringLiteral("Big.") + path;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString game = home.filePath(QStringLiteral("game"));
    if (!writePackage(game + QStringLiteral("/Big/Textures/Big.utx"))) {
        QTextStream(stderr) << "bench_selectionlogo: cannot write the package\n";
        return EXIT_FAILURE;
    }
    UserDefaults::standard().setObjectForKey(game, QStringLiteral("unrealPath"));

    constexpr int runs = 50;
    Launcher launcher;
    Controller& controller = launcher.controller();
    controller.setUpLinkColumn();
    controller.newUnrealModWasFound({QStringLiteral("UT2004"), {}, {}, {}});
    for (int n = 0; n <= runs; ++n) {
        ModEntry mod{QStringLiteral("Big"), {}, {}, QStringLiteral("Big")};
        mod.logo = logoName(n);
        controller.newUnrealModWasFound(mod);
    }
    launcher.window().show();
    auto* logo = launcher.window().findChild<QLabel*>(QStringLiteral("modLogo"));

    std::vector<double> times;
    for (int n = 0; n <= runs; ++n) {
        controller.tableView->selectRow(0); // the plain game: no logo
        QElapsedTimer timer;
        timer.start();
        controller.tableView->selectRow(n + 1);
        while (!logo->isVisible() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        if (n > 0) // the first read warms the system's file cache
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    QTextStream(stdout) << "selection to logo, 512x128 logo last in a 64 MiB package, " << runs
                        << " selections: median "
                        << QString::number(times[times.size() / 2], 'f', 2) << " ms, slowest "
                        << QString::number(times.back(), 'f', 2) << " ms\n";
    return EXIT_SUCCESS;
}
