// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the game: shows the arguments it was given and its working directory.
//
// MODGATE_SAMPLE_GAME_RECORD names a file to write the same facts to, as JSON:
//   {"arguments": [...], "workingDirectory": "...", "pid": 1234}
// MODGATE_SAMPLE_GAME_QUIT_AFTER_MS makes it quit by itself after that many milliseconds.
// MODGATE_SAMPLE_GAME_QUIT_FILE names a file whose appearance makes it quit, so a test can end
// the game at a moment of its choosing with a normal exit.

#include <QApplication>
#include <QDir>
#include <QFile>
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
#include <cstdio>

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
    QObject::connect(quit, &QPushButton::clicked, &application, &QCoreApplication::quit);
    layout->addWidget(quit);
    window.resize(480, 320);
    window.show();

    bool quitAfterIsNumber = false;
    const int quitAfter =
        qEnvironmentVariableIntValue("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", &quitAfterIsNumber);
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
