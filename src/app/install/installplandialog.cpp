// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/install/installplandialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

QString installButtonText(int replacements) {
    if (replacements <= 0)
        return QStringLiteral("Install");
    if (replacements == 1)
        return QStringLiteral("Install and Replace 1 File");
    return QStringLiteral("Install and Replace %1 Files").arg(replacements);
}

QString installSummary(const InstallPlan& plan, const QString& gameCopy) {
    int installed = 0;
    for (const PlannedFile& file : plan.files)
        if (file.action != PlannedFile::Action::Identical)
            ++installed;
    const QString files =
        installed == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(installed);
    return QStringLiteral("%1 into %2: %3, %4")
        .arg(plan.name, gameCopy, files,
             QLocale::system().formattedDataSize(plan.totalBytes, 1,
                                                 QLocale::DataSizeTraditionalFormat));
}

namespace {

// A heading with its entries below, open; none when there is nothing to list.
void addSection(QTreeWidget& tree, const QString& heading,
                QList<std::pair<QString, QString>> rows) {
    if (rows.isEmpty())
        return;
    // By path, as a file manager shows them, whatever the download's order.
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    auto* section =
        new QTreeWidgetItem(&tree, {QStringLiteral("%1 (%2)").arg(heading).arg(rows.size())});
    section->setFirstColumnSpanned(true);
    for (const auto& [name, note] : rows) {
        auto* row = new QTreeWidgetItem(section, {name, note});
        // Screen readers speak a row cell by cell, apart from its heading: an empty note is
        // spoken as the heading's word ("new"), so every row says what happens to its file.
        if (note.isEmpty())
            row->setData(1, Qt::AccessibleTextRole, heading.toLower());
    }
    section->setExpanded(true);
}

} // namespace

InstallPlanDialog::InstallPlanDialog(const InstallPlan& plan, const QString& gameCopy,
                                     QWidget* parent)
    : QDialog(parent), summary(new QLabel(installSummary(plan, gameCopy), this)),
      tree(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("installPlanDialog"));
    setWindowTitle(QStringLiteral("Install %1").arg(plan.name));
    summary->setObjectName(QStringLiteral("installSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    tree->setObjectName(QStringLiteral("installPlanView"));
    tree->setAccessibleName(QStringLiteral("What the install does"));
    tree->setColumnCount(2);
    tree->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Note")});
    tree->setRootIsDecorated(true);
    tree->setUniformRowHeights(true);

    QList<std::pair<QString, QString>> added, replaced, same, leftOut, notApplied;
    for (const PlannedFile& file : plan.files) {
        switch (file.action) {
        case PlannedFile::Action::New:
            added.append({file.destination, QString()});
            break;
        case PlannedFile::Action::Replace:
        case PlannedFile::Action::Compare:
            replaced.append({file.destination, QStringLiteral("replaces the file there")});
            break;
        case PlannedFile::Action::Identical:
            same.append({file.destination, QStringLiteral("already there")});
            break;
        }
    }
    for (const LeftOutEntry& entry : plan.leftOut)
        leftOut.append({entry.name, entry.reason});
    for (const QString& edit : plan.iniEditsNotApplied)
        notApplied.append({edit, QStringLiteral("not applied")});
    addSection(*tree, QStringLiteral("Replaced"), replaced);
    addSection(*tree, QStringLiteral("New"), added);
    addSection(*tree, QStringLiteral("Already there"), same);
    addSection(*tree, QStringLiteral("Left out"), leftOut);
    addSection(*tree, QStringLiteral("Settings edits not applied"), notApplied);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(this);
    install =
        buttons->addButton(installButtonText(plan.replacements()), QDialogButtonBox::AcceptRole);
    install->setObjectName(QStringLiteral("installButton"));
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelInstallButton"));
    // Replacing is the weightier choice: Return should not make it by accident.
    (plan.replacements() > 0 ? cancel : install)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(tree, 1);
    layout->addWidget(buttons);
    resize(560, 420);
}
