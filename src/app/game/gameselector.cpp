// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gameselector.h"

#include "installation/gamecopies.h"

#include <QDir>
#include <QKeyEvent>
#include <QWheelEvent>

GameSelector::GameSelector(QWidget* parent) : QComboBox(parent) {
    // Long paths must not widen the window.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // Room for Install Mod… and Reload beside it in the narrowest window.
    setMinimumContentsLength(16);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Only the player's choices: a list filled from code emits nothing.
    connect(this, &QComboBox::activated, this, &GameSelector::choose);
}

void GameSelector::setCopies(const QStringList& copies, const QString& inUse) {
    QStringList listed = copies;
    shownIndex = -1;
    for (int i = 0; i < listed.size() && shownIndex < 0 && !inUse.isEmpty(); ++i)
        if (isSameFolder(listed.at(i), inUse))
            shownIndex = i;
    if (shownIndex < 0 && !inUse.isEmpty()) {
        listed.prepend(inUse);
        shownIndex = 0;
    }
    clear();
    for (const QString& copy : listed) {
        addItem(homeRelativePath(copy, QDir::homePath()), copy);
        setItemData(count() - 1, copy, Qt::ToolTipRole);
    }
    addItem(QStringLiteral("Other folder\u2026"));
    setCurrentIndex(shownIndex);
    setToolTip(shownIndex < 0 ? QString() : listed.at(shownIndex));
}

QStringList GameSelector::copies() const {
    QStringList paths;
    for (int i = 0; i + 1 < count(); ++i)
        paths.append(itemData(i).toString());
    return paths;
}

void GameSelector::choose(int index) {
    if (index == shownIndex)
        return;
    const bool other = index == count() - 1;
    const QString path = itemData(index).toString();
    setCurrentIndex(shownIndex);
    if (other)
        emit otherFolderChosen();
    else
        emit copyChosen(path);
}

void GameSelector::keyPressEvent(QKeyEvent* event) {
    // A closed QComboBox takes these keys, and typed letters, as a choice of the entry they reach.
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        showPopup();
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F4:
        QComboBox::keyPressEvent(event);
        return;
    default:
        if (event->text().isEmpty())
            QComboBox::keyPressEvent(event);
        else
            event->ignore();
    }
}

void GameSelector::wheelEvent(QWheelEvent* event) {
    // Scrolling over the window must not switch the game.
    event->ignore();
}
