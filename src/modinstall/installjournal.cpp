// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installjournal.h"

#include "modinstall/installpaths.h"
#include "support/desktoptrash.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString headerKey = QStringLiteral("modgate");
const QString headerValue = QStringLiteral("install-journal 1");

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool isStagedName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^f[0-9]{1,6}$"));
    return pattern.match(name).hasMatch();
}

bool sameFile(const struct stat& status, const JournalStep& step) {
    return status.st_dev == step.device && status.st_ino == step.inode;
}

// The replaced file in the trash: where this process put it, else found by its identity.
std::optional<QString> trashedCopy(const JournalStep& step, const QString& gamePath) {
    struct stat status {};
    if (!step.pathInTrash.isEmpty() &&
        ::lstat(QFile::encodeName(step.pathInTrash).constData(), &status) == 0 &&
        sameFile(status, step))
        return step.pathInTrash;
    return findInTrash(step.device, step.inode, gamePath);
}

} // namespace

QByteArray journalText(const QList<JournalStep>& steps) {
    QByteArray text = line({{headerKey, headerValue}});
    for (const JournalStep& step : steps) {
        switch (step.kind) {
        case JournalStep::Kind::CreateFolder:
            text += line({{QStringLiteral("mkdir"), step.path}});
            break;
        case JournalStep::Kind::Trash:
            text += line({{QStringLiteral("trash"), step.path},
                          {QStringLiteral("device"), QString::number(step.device)},
                          {QStringLiteral("inode"), QString::number(step.inode)}});
            break;
        case JournalStep::Kind::Move:
            text +=
                line({{QStringLiteral("move"), step.staged}, {QStringLiteral("to"), step.path}});
            break;
        }
    }
    return text;
}

QByteArray committedLine(const QString& recordPath) {
    return line({{QStringLiteral("committed"), recordPath}});
}

std::optional<Journal> parseJournal(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (QJsonDocument::fromJson(lines.value(0)).object().value(headerKey).toString() != headerValue)
        return std::nullopt;
    Journal journal;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i]).object();
        JournalStep step;
        if (object.contains(QStringLiteral("committed"))) {
            journal.committedRecord = object.value(QStringLiteral("committed")).toString();
            continue;
        }
        if (object.contains(QStringLiteral("mkdir"))) {
            step.kind = JournalStep::Kind::CreateFolder;
            step.path = object.value(QStringLiteral("mkdir")).toString();
        } else if (object.contains(QStringLiteral("trash"))) {
            step.kind = JournalStep::Kind::Trash;
            step.path = object.value(QStringLiteral("trash")).toString();
            step.device = dev_t(object.value(QStringLiteral("device")).toString().toULongLong());
            step.inode = ino_t(object.value(QStringLiteral("inode")).toString().toULongLong());
        } else if (object.contains(QStringLiteral("move"))) {
            step.kind = JournalStep::Kind::Move;
            step.staged = object.value(QStringLiteral("move")).toString();
            step.path = object.value(QStringLiteral("to")).toString();
            if (!isStagedName(step.staged))
                continue;
        } else {
            continue;
        }
        if (isSafeRelativePath(step.path))
            journal.steps.append(step);
    }
    return journal;
}

QStringList undoSteps(int gameFolder, const QString& gamePath, int stagingFolder,
                      const QList<JournalStep>& steps) {
    QStringList problems;
    for (auto step = steps.crbegin(); step != steps.crend(); ++step) {
        const FileDescriptor parent = openParentFolder(gameFolder, step->path);
        const QByteArray name = lastComponent(step->path);
        struct stat there {};
        const bool present = parent.isOpen() && ::fstatat(parent.get(), name.constData(), &there,
                                                          AT_SYMLINK_NOFOLLOW) == 0;
        switch (step->kind) {
        case JournalStep::Kind::Move: {
            // Still staged, or nothing there: this move was never made.
            struct stat staged {};
            const QByteArray stagedName = QFile::encodeName(step->staged);
            if (!present ||
                ::fstatat(stagingFolder, stagedName.constData(), &staged, AT_SYMLINK_NOFOLLOW) == 0)
                break;
            if (::renameat(parent.get(), name.constData(), stagingFolder, stagedName.constData()) !=
                0)
                problems << QStringLiteral("%1 could not be taken out again: %2")
                                .arg(step->path, systemErrorText(errno));
            break;
        }
        case JournalStep::Kind::Trash: {
            if (present) {
                if (!sameFile(there, *step))
                    problems << QStringLiteral("%1 is no longer the file that was replaced; that "
                                               "one is in the trash")
                                    .arg(step->path);
                break;
            }
            const std::optional<QString> inTrash = trashedCopy(*step, gamePath);
            if (!inTrash) {
                problems << QStringLiteral("%1 could not be found in the trash").arg(step->path);
                break;
            }
            if (const auto why = restoreFromTrash(*inTrash, belowFolder(gamePath, step->path)))
                problems << QStringLiteral("%1 could not be put back from the trash: %2")
                                .arg(step->path, *why);
            break;
        }
        case JournalStep::Kind::CreateFolder:
            // A folder that something else has since been put in stays, with it.
            if (present && S_ISDIR(there.st_mode))
                ::unlinkat(parent.get(), name.constData(), AT_REMOVEDIR);
            break;
        }
    }
    return problems;
}
