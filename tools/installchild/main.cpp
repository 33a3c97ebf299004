// SPDX-License-Identifier: GPL-3.0-or-later
// Installs the files of a folder into a game folder in a process of its own, so that tests can
// fault an install for real: a write limit (MODGATE_INSTALL_CHILD_FILE_LIMIT bytes, as a full disk
// does), or a kill halfway (MODGATE_INSTALL_CHILD_PAUSE_AFTER moves, then it waits). With "lock"
// it holds the write lock until it is killed.
#include "memorysource.h"
#include "modinstall/installlock.h"
#include "modinstall/installtransaction.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"lock") {
        const InstallLock lock;
        std::puts(lock.isHeld() ? "locked" : "refused");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    if (arguments.size() != 4 || arguments[1] != u"install") {
        std::fputs("usage: modgate-install-child install GAME FOLDER | lock\n", stderr);
        return 2;
    }
    if (const qint64 limit = qEnvironmentVariable("MODGATE_INSTALL_CHILD_FILE_LIMIT").toLongLong();
        limit > 0) {
        // Writing past the limit then fails with "File too large" instead of killing us.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit bytes{rlim_t(limit), rlim_t(limit)};
        setrlimit(RLIMIT_FSIZE, &bytes);
    }
    const int pauseAfter = qEnvironmentVariableIntValue("MODGATE_INSTALL_CHILD_PAUSE_AFTER");
    const QString game = arguments[2];
    MemorySource source(QFileInfo(arguments[3]).fileName() + QStringLiteral(".zip"),
                        filesBelow(arguments[3]));
    InstallOptions options;
    options.consentToReplace = true;
    options.afterMove = [pauseAfter](int moved) {
        if (moved != pauseAfter)
            return;
        std::puts("paused");
        std::fflush(stdout);
        for (;;)
            ::pause();
    };
    const auto result = installMod(
        game, source, plainPlan(source, game, QFileInfo(arguments[3]).fileName()), options);
    if (const auto* refusal = std::get_if<InstallRefusal>(&result)) {
        std::fprintf(stderr, "%s\n", qPrintable(refusal->reason));
        return 1;
    }
    return 0;
}
