// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One home for what tests build on disk: trees of files, folders and links, copies of the game in
// its layouts, game logs, and the sample game built beside the tests.

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QTest>

namespace fixtures {

inline QString buildDir() {
    return qEnvironmentVariable("MODGATE_BUILD_DIR");
}
inline QString sampleGame() {
    return buildDir() + QStringLiteral("/tools/samplegame/modgate-sample-game");
}
inline QString sampleInstallationTool() {
    return buildDir() + QStringLiteral("/tools/sampleinstallation/modgate-sample-installation");
}

// Writes a file whole, making its folders first.
inline bool writeFile(const QString& path, const QByteArray& bytes = {}) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

// Builds below base the entries split at ";": "f:path" an empty file, "d:path" a folder,
// "l:path>target" a symbolic link.
inline bool makeTree(const QString& base, const QString& entries) {
    for (const QString& entry : entries.split(u';', Qt::SkipEmptyParts)) {
        const QString path = base + u'/' + entry.mid(2).section(u'>', 0, 0);
        const bool made = QDir().mkpath(entry.startsWith(u"d:") ? path : QFileInfo(path).path()) &&
                          (!entry.startsWith(u"f:") || writeFile(path)) &&
                          (!entry.startsWith(u"l:") || QFile::link(entry.section(u'>', 1), path));
        if (!made)
            return false;
    }
    return true;
}

// Copies of the game: the classic bundle, or the OldUnreal patch's Linux folder.
enum class Layout { Bundle, OldUnreal };
enum class Executable { SampleGame, Missing, NotExecutable, Folder, Script };

inline QString executableOf(const QString& gameFolder, Layout layout) {
    return gameFolder + (layout == Layout::Bundle
                             ? QStringLiteral("/Contents/MacOS/Unreal Tournament 2004")
                             : QStringLiteral("/System/UT2004"));
}

// A copy of the game at gameFolder with the given kind of thing at its executable's place.
inline bool makeGame(const QString& gameFolder, Layout layout = Layout::Bundle,
                     Executable kind = Executable::SampleGame) {
    const QString executable = executableOf(gameFolder, layout);
    if (kind == Executable::Missing || kind == Executable::Folder)
        return QDir().mkpath(kind == Executable::Missing ? gameFolder : executable);
    const auto readWrite = QFile::ReadOwner | QFile::WriteOwner;
    // A script whose interpreter is missing: it exists, yet starting it finds no such file.
    const bool made =
        kind == Executable::Script
            ? writeFile(executable, "#!/nonexistent/interpreter\n")
            : QDir().mkpath(QFileInfo(executable).path()) && QFile::copy(sampleGame(), executable);
    return made && QFile::setPermissions(executable, kind == Executable::NotExecutable
                                                         ? readWrite
                                                         : readWrite | QFile::ExeOwner);
}

// The game logs below the current HOME: the bundle's and the Linux clients'.
inline QString bundleLogPath() {
    return QDir::homePath() +
           QStringLiteral("/Library/Application Support/Unreal Tournament 2004/System/UT2004.log");
}
inline QString linuxLogPath() {
    return QDir::homePath() + QStringLiteral("/.ut2004/System/UT2004.log");
}

// A log whose last base-directory line names systemFolder, an older copy's line before it.
inline bool writeGameLog(const QString& logPath, const QString& systemFolder,
                         const QString& lineEnd = QStringLiteral("\n")) {
    const QString text =
        QStringLiteral("Log: Log file open%2Init: Base directory: /Old/UT2004/System/%2"
                       "Init: Base directory: %1%2Init: Computer: host%2")
            .arg(systemFolder, lineEnd);
    return writeFile(logPath, text.toUtf8());
}

// Table rows in one line each: string columns by name, a row's values in column order.
template <typename... Names> void columns(const Names&... names) {
    (QTest::addColumn<QString>(names), ...);
}
template <typename... Values> void row(const char* name, const Values&... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace fixtures
