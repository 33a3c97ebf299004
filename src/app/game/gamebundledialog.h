// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>
#include <functional>
#include <optional>

class QLabel;

// The dialog in which the user points at the game's folder or bundle. Qt's own widgets rather than
// the platform's dialog, so that every confirmed candidate passes the validator on every platform.
class GameBundleDialog : public QFileDialog {
    Q_OBJECT
public:
    // Tells whether a confirmed candidate may be taken; a refused one keeps the dialog open.
    using Validator = std::function<bool(const QString& path)>;

    explicit GameBundleDialog(Validator validator, QWidget* parent = nullptr);

    // Runs the dialog modally: the accepted bundle path, or absent when the user cancelled.
    static std::optional<QString> chooseBundle(Validator validator, QWidget* parent = nullptr);

    // The folder the dialog opens in: on macOS the applications folder where there is one, else
    // the user's home folder.
    static QString firstFolder();
    // What the dialog says of a refused folder.
    static QString refusalText(const QString& folder);

    void accept() override;

    // The candidate taken by the last accept; empty until one was.
    QString acceptedPath() const { return accepted; }

private:
    Validator validator;
    QString accepted;
    QLabel* refusal = nullptr;
};
