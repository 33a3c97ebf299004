// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gamebundledialog.h"

#include "installation/gameinstallation.h"
#include "support/systemservices.h"

#include <QDir>
#include <QFileInfo>

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
    setDirectory(firstFolder());
    selectFile(QString(GameInstallation::bundleFileName));
}

std::optional<QString> GameBundleDialog::chooseBundle(Validator validator, QWidget* parent) {
    GameBundleDialog dialog(std::move(validator), parent);
    // After a cancel the dialog still reports a selection; only the result code tells.
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.acceptedPath();
}

QString GameBundleDialog::firstFolder() {
    const QString applications(GameInstallation::firstFolderShown);
    // Qt would fall back to the root folder with the name typed in; that helps nobody.
    if (QFileInfo(applications).isDir())
        return applications;
    return QDir::homePath();
}

void GameBundleDialog::accept() {
    const QStringList candidates = selectedFiles();
    if (candidates.isEmpty())
        return;
    const QString candidate = candidates.constFirst();
    if (!validator || !validator(candidate))
        return;
    // A well-named path that is not there: Qt would put up a message box; a beep is all we say.
    if (!QFileInfo(candidate).isDir()) {
        systemBeep();
        return;
    }
    accepted = candidate;
    QFileDialog::accept();
}
