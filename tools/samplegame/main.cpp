// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the game: shows the arguments it was given and its working directory.
//
// MODGATE_SAMPLE_GAME_RECORD names a file to write the same facts to, as JSON:
//   {"arguments": [...], "workingDirectory": "...", "pid": 1234}
// MODGATE_SAMPLE_GAME_QUIT_AFTER_MS makes it quit by itself after that many milliseconds.
// MODGATE_SAMPLE_GAME_QUIT_FILE names a file whose appearance makes it quit, so a test can end
// the game at a moment of its choosing with a normal exit.
// MODGATE_SAMPLE_GAME_END makes it end as a broken game would:
//   error       writes a log whose "Critical:" line says why, then exits with code 1 at once;
//   crash       ends by a segmentation fault when it would quit (by default after 3 s);
//   output:MiB  first writes that many MiB of log lines to its standard output.
// The log is ~/.ut2004/System/UT2004.log, for -mod=<Folder> ~/.ut2004/<Folder>/System/<Folder>.log.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// Written whole or not at all, so a reader never sees half a record.
bool writeRecord(const QString& path, const QStringList& arguments,
                 const QString& workingDirectory) {
    QJsonObject record;
    record.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(arguments));
    record.insert(QStringLiteral("workingDirectory"), workingDirectory);
    record.insert(QStringLiteral("pid"), QCoreApplication::applicationPid());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(record).toJson());
    return file.commit();
}

// Where the real game would write its log for these arguments.
QString logPath(const QStringList& arguments) {
    QString mod;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("-mod=")))
            mod = argument.mid(5);
    }
    const QString home = QDir::homePath() + QStringLiteral("/.ut2004/");
    return mod.isEmpty() ? home + QStringLiteral("System/UT2004.log")
                         : home + mod + QStringLiteral("/System/") + mod + QStringLiteral(".log");
}

// The lines the engine leaves when it cannot load its first map.
int failAsBrokenGame(const QStringList& arguments, const QString& workingDirectory) {
    const QString path = logPath(arguments);
    QDir().mkpath(QFileInfo(path).path());
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly))
        return 2;
    log.write(QStringLiteral("Log: Log file open\n"
                             "Init: Command line: %1\n"
                             "Init: Base directory: %2/\n"
                             "Warning: Failed to load 'Entry': Can't find file 'Entry'\n"
                             "Critical: Failed to enter Entry: Can't find file 'Entry'\n"
                             "Exit: Executing UObject::StaticShutdownAfterError\n"
                             "Critical: UGameEngine::Init\n"
                             "Critical: InitEngine\n"
                             "Exit: Exiting.\n")
                  .arg(arguments.join(u' '), workingDirectory)
                  .toUtf8());
    return 1;
}

// Numbered log lines, as a chatty game writes them.
void writeOutput(long long mebibytes) {
    const long long total = mebibytes << 20;
    char line[64];
    for (long long written = 0, number = 0; written < total; ++number) {
        const int size =
            std::snprintf(line, sizeof line, "Log: sample output line %020lld\n", number);
        written += static_cast<long long>(std::fwrite(line, 1, size_t(size), stdout));
    }
    std::fflush(stdout);
}

[[noreturn]] void crash() {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    std::abort();
}

} // namespace

int main(int argc, char** argv) {
    // Taken before QApplication, which removes the options it knows (-style, -platform, ...).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QApplication application(argc, argv);
    const QString workingDirectory = QDir::currentPath();

    const QString recordPath = qEnvironmentVariable("MODGATE_SAMPLE_GAME_RECORD");
    if (!recordPath.isEmpty() && !writeRecord(recordPath, arguments, workingDirectory)) {
        std::fprintf(stderr, "modgate-sample-game: cannot write %s\n", qPrintable(recordPath));
        return 1;
    }

    const QString end = qEnvironmentVariable("MODGATE_SAMPLE_GAME_END");
    if (end == u"error")
        return failAsBrokenGame(arguments, workingDirectory);
    if (end.startsWith(u"output:"))
        writeOutput(end.mid(7).toLongLong());
    const bool crashes = end == u"crash";

    QWidget window;
    window.setWindowTitle(QStringLiteral("Unreal Tournament 2004 (sample game)"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Arguments (%1):").arg(arguments.size())));
    auto* argumentList = new QListWidget;
    for (const QString& argument : arguments)
        argumentList->addItem(argument.isEmpty() ? QStringLiteral("(empty argument)") : argument);
    layout->addWidget(argumentList);
    auto* directory = new QLabel(QStringLiteral("Working directory: %1").arg(workingDirectory));
    directory->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(directory);
    auto* quit = new QPushButton(QStringLiteral("Quit"));
    // Quitting is where a crashing game crashes.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [crashes] {
        if (crashes)
            crash();
    });
    QObject::connect(quit, &QPushButton::clicked, &application, &QCoreApplication::quit);
    layout->addWidget(quit);
    window.resize(480, 320);
    window.show();

    bool quitAfterIsNumber = false;
    int quitAfter =
        qEnvironmentVariableIntValue("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", &quitAfterIsNumber);
    if (crashes && !quitAfterIsNumber) {
        quitAfter = 3000;
        quitAfterIsNumber = true;
    }
    if (quitAfterIsNumber)
        QTimer::singleShot(quitAfter, &application, &QCoreApplication::quit);

    const QString quitFile = qEnvironmentVariable("MODGATE_SAMPLE_GAME_QUIT_FILE");
    if (!quitFile.isEmpty()) {
        auto* watch = new QTimer(&application);
        QObject::connect(watch, &QTimer::timeout, &application, [quitFile] {
            if (QFile::exists(quitFile))
                QCoreApplication::quit();
        });
        watch->start(20);
    }

    return QApplication::exec();
}
