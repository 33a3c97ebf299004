// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;

// The text of the button that starts an install: it says when files will be replaced.
QString installButtonText(int replacements);
// One line about the whole install: what, where, how many files and bytes.
QString installSummary(const InstallPlan& plan, const QString& gameCopy);

// Shows an install's plan before anything is written: what is new, what replaces what, what is
// left out and why, and the settings edits that are not made. Install or Cancel.
class InstallPlanDialog : public QDialog {
    Q_OBJECT
public:
    InstallPlanDialog(const InstallPlan& plan, const QString& gameCopy, QWidget* parent = nullptr);

    QTreeWidget* planView() const { return tree; }
    QPushButton* installButton() const { return install; }

private:
    QLabel* summary;
    QTreeWidget* tree;
    QPushButton* install;
};
