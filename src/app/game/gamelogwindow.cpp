// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gamelogwindow.h"

#include "support/systemservices.h"
#include "support/textlines.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

GameLogWindow::GameLogWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), logView(new QPlainTextEdit(this)), pathLabel(new QLabel(this)),
      openFolderButton(new QPushButton(QStringLiteral("Open Folder"), this)) {
    setObjectName(QStringLiteral("gameLogWindow"));
    setWindowTitle(QStringLiteral("Game Log"));
    logView->setObjectName(QStringLiteral("gameLogView"));
    logView->setAccessibleName(QStringLiteral("Game log"));
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pathLabel->setObjectName(QStringLiteral("gameLogPath"));
    pathLabel->setAccessibleDescription(QStringLiteral("Log file"));
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openFolderButton->setObjectName(QStringLiteral("openLogFolderButton"));
    connect(openFolderButton, &QPushButton::clicked, this,
            [this] { openUrlInBrowser(QUrl::fromLocalFile(folder)); });

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(pathLabel, 1);
    fileRow->addWidget(openFolderButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logView, 1);
    layout->addLayout(fileRow);
    resize(640, 360);

    // Escape and the platform's Close keys, with Ctrl+W where those lack it; each key bound once,
    // as a key bound twice would be ambiguous and do nothing.
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        if (!closeKeys.contains(key))
            closeKeys.append(key);
    for (const QKeySequence& key : closeKeys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);
}

void GameLogWindow::setLog(const std::optional<QString>& path, const QString& text) {
    const QString file = path.value_or(QString());
    folder = path ? QFileInfo(file).absolutePath() : QString();
    pathLabel->setText(path ? file : QStringLiteral("What the game wrote while it ran"));
    openFolderButton->setVisible(path.has_value());

    logView->clear();
    QTextCharFormat plain;
    QTextCharFormat critical;
    critical.setFontWeight(QFont::Bold);
    critical.setForeground(QColor(0xb0, 0x00, 0x20));
    QTextCursor cursor(logView->document());
    if (text.trimmed().isEmpty()) {
        QTextCharFormat note;
        note.setFontItalic(true);
        cursor.insertText(tr("The game wrote nothing to its output or its log."), note);
        return;
    }
    const QStringList lines = splitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(lines[i], lines[i].startsWith(u"Critical: ") ? critical : plain);
    }
    logView->moveCursor(QTextCursor::End);
}
