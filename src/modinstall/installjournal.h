// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>

// The journal of an install: a file in the staging folder that lists every change the install
// makes to the game folder, written and flushed to disk before the first change is made. Whoever
// finds it later (a Modgate started after one was killed) can undo those changes: each step's
// undo looks at what is on disk, so a step that was never taken undoes to nothing. The last line
// says the install was committed: then it is kept, and only its record is still to be written.
//
// One JSON object per line: a header, then {"mkdir": folder}, {"trash": file, "device": ...,
// "inode": ...} or {"move": staged name, "to": file}, then at last {"committed": record path}.

struct JournalStep {
    enum class Kind { CreateFolder, Trash, Move };
    Kind kind = Kind::Move;
    QString path;     // relative to the game folder
    QString staged;   // Move: the file's name in the staging folder
    dev_t device = 0; // Trash: the file that was there, which the trash keeps under another name
    ino_t inode = 0;
    QString pathInTrash; // Trash: where it went, when this process moved it

    static JournalStep createFolder(const QString& path) {
        JournalStep step;
        step.kind = Kind::CreateFolder;
        step.path = path;
        return step;
    }
    static JournalStep trash(const QString& path, dev_t device, ino_t inode) {
        JournalStep step;
        step.kind = Kind::Trash;
        step.path = path;
        step.device = device;
        step.inode = inode;
        return step;
    }
    static JournalStep move(const QString& staged, const QString& path) {
        JournalStep step;
        step.staged = staged;
        step.path = path;
        return step;
    }
};

struct Journal {
    QList<JournalStep> steps;
    // Once committed: where the install's record goes.
    std::optional<QString> committedRecord;
};

QByteArray journalText(const QList<JournalStep>& steps);
QByteArray committedLine(const QString& recordPath);
// The journal read back; a line cut short by a kill is ignored (its step was never taken).
// Absent when this is no journal of Modgate's.
std::optional<Journal> parseJournal(const QByteArray& text);

// Undoes the steps, last first: a file moved in goes back into the staging folder, a replaced
// file comes back from the trash, a created folder goes when empty. What could not be undone.
QStringList undoSteps(int gameFolder, const QString& gamePath, int stagingFolder,
                      const QList<JournalStep>& steps);
