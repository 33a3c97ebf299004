// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>

// The copy of the game in use, and the others found, to choose from; its last entry asks for
// another folder. A choice only asks: the list shows a new copy once setCopies() says so. Only an
// entry chosen in the open list (Return, a click) is a choice: the arrow keys open the list rather
// than step through it, and the mouse wheel and typed letters leave it alone, so passing over
// "Other folder..." never opens a dialog, nor does passing over a copy switch to it.
class GameSelector : public QComboBox {
    Q_OBJECT
public:
    explicit GameSelector(QWidget* parent = nullptr);

    // Lists the copies (full paths) and shows the one in use, put first where it is not among
    // them. No copy in use leaves the list on nothing.
    void setCopies(const QStringList& copies, const QString& inUse);
    // The full paths listed, in order.
    QStringList copies() const;

signals:
    void copyChosen(const QString& gamePath);
    void otherFolderChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void choose(int index);
    int shownIndex = -1;
};
