// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gamerun.h"

#include "support/outputtail.h"
#include "support/textfile.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// Passes bytes on to a descriptor; one that fails (closed, a pipe nobody reads any more) is
// dropped rather than holding up the game.
void passOn(int& fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0)
            done += written;
        else if (written < 0 && errno != EINTR)
            fd = -1;
    }
}

// A write to a closed pipe fails with EPIPE on this thread instead of ending Modgate.
class BlockedBrokenPipe {
public:
    BlockedBrokenPipe() {
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    }
    ~BlockedBrokenPipe() {
        sigset_t pending;
        int signal = 0;
        if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE))
            sigwait(&pipeSignal, &signal);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    BlockedBrokenPipe(const BlockedBrokenPipe&) = delete;
    BlockedBrokenPipe& operator=(const BlockedBrokenPipe&) = delete;

private:
    sigset_t pipeSignal;
    sigset_t previous;
};

QString outputText(const OutputTail& tail) {
    QByteArray bytes = tail.bytes();
    // A tail that lost its front starts inside a line, maybe inside a character.
    if (tail.wrapped())
        bytes.remove(0, bytes.indexOf('\n') + 1);
    return decodeText(bytes);
}

} // namespace

GameRun runGame(const GameLayout& game, const QStringList& arguments,
                std::chrono::milliseconds pause, const std::function<void()>& afterPause,
                OutputSinks sinks) {
    GameRun run;
    // First: the process watches its pipes and its end through the thread's event dispatcher,
    // which a thread not started by Qt only gets with its first event loop.
    QEventLoop loop;
    // Lives until the game has exited: destroying a running QProcess kills the game.
    QProcess process;
    // The child changes to the working directory before it starts the program, so a relative
    // stored path would otherwise be looked up a second time below itself.
    process.setProgram(QFileInfo(game.executable).absoluteFilePath());
    process.setArguments(arguments);
    process.setWorkingDirectory(game.workingDirectory);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    run.started = QDateTime::currentDateTimeUtc();
    process.start();
    if (!process.waitForStarted(-1)) {
        run.startError = process.errorString();
        return run;
    }
    // Only now: the game would inherit the blocked signal.
    const BlockedBrokenPipe blocked;

    OutputTail tail;
    bool exited = false;
    bool paused = false;
    const auto readOutput = [&] {
        const QByteArray bytes = process.readAllStandardOutput();
        passOn(sinks.standardOutput, bytes);
        tail.append(bytes);
    };
    const auto readError = [&] {
        const QByteArray bytes = process.readAllStandardError();
        passOn(sinks.standardError, bytes);
        tail.append(bytes);
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, readOutput);
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop, readError);
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        exited = true;
        if (paused)
            loop.quit();
    });
    QTimer::singleShot(pause, &loop, [&] {
        paused = true;
        afterPause();
        if (exited)
            loop.quit();
    });
    loop.exec();
    // Whatever came after the last notice.
    readOutput();
    readError();

    // The signal's number where it ended by one: what QProcess keeps as the exit code on Unix.
    run.exit = {process.exitStatus() == QProcess::CrashExit, process.exitCode()};
    run.output = outputText(tail);
    return run;
}
