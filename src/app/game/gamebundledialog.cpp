// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gamebundledialog.h"

#include "installation/gamecopies.h"
#include "installation/gameinstallation.h"
#include "support/systemservices.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

GameBundleDialog::GameBundleDialog(Validator validator, QWidget* parent)
    : QFileDialog(parent), validator(std::move(validator)) {
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(QStringLiteral("Select your copy of UT2k4"));
    setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    setAcceptMode(QFileDialog::AcceptOpen);
    // Every copy of the game is a folder: a bundle, or a game folder with its System folders.
    setFileMode(QFileDialog::Directory);
    setNameFilters(
        {QStringLiteral("Game folders (*)"), QStringLiteral("Application bundles (*.app)")});
    // Game folders hide below hidden ones: ~/.local/share, ~/.steam.
    setFilter(filter() | QDir::Hidden);
    setDirectory(firstFolder());
#ifdef Q_OS_MACOS
    selectFile(QString(GameInstallation::bundleFileName));
#endif
    // Why a folder was refused, below the file list.
    refusal = new QLabel(this);
    refusal->setObjectName(QStringLiteral("refusal"));
    refusal->setWordWrap(true);
    refusal->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(refusal, grid->rowCount(), 0, 1, grid->columnCount());
}

QString GameBundleDialog::refusalText(const QString& folder) {
    return QStringLiteral("No copy of the game in %1: Modgate looks for System/UT2004, "
                          "System/ut2004-bin-linux-amd64 or %2")
        .arg(homeRelativePath(folder, QDir::homePath()), GameInstallation::bundleFileName);
}

std::optional<QString> GameBundleDialog::chooseBundle(Validator validator, QWidget* parent) {
    GameBundleDialog dialog(std::move(validator), parent);
    // After a cancel the dialog still reports a selection; only the result code tells.
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.acceptedPath();
}

QString GameBundleDialog::firstFolder() {
#ifdef Q_OS_MACOS
    const QString applications(GameInstallation::firstFolderShown);
    // Qt would fall back to the root folder with the name typed in; that helps nobody.
    if (QFileInfo(applications).isDir())
        return applications;
#endif
    return QDir::homePath();
}

void GameBundleDialog::accept() {
    const QStringList candidates = selectedFiles();
    if (candidates.isEmpty())
        return;
    const QString candidate = candidates.constFirst();
    if (!validator || !validator(candidate)) {
        refusal->setText(refusalText(candidate));
        refusal->show();
        return;
    }
    // A well-named path that is not there: Qt would put up a message box; a beep is all we say.
    if (!QFileInfo(candidate).isDir()) {
        systemBeep();
        return;
    }
    accepted = candidate;
    QFileDialog::accept();
}
