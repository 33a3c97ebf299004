// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// A small read-only window with the end of the game's log, its "Critical:" lines marked, and
// where the log is kept, with a button that opens that folder. Escape and Ctrl+W close it.
class GameLogWindow : public QWidget {
    Q_OBJECT
public:
    explicit GameLogWindow(QWidget* parent = nullptr);

    // The log's text and its file; no file for what the game wrote to its output. An empty text
    // is said to be so.
    void setLog(const std::optional<QString>& path, const QString& text);

private:
    QPlainTextEdit* logView;
    QLabel* pathLabel;
    QPushButton* openFolderButton;
    QString folder;
};
