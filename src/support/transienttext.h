// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <chrono>

class QLabel;

// Shows text in the label for a while, then empties the label, but only where it still shows
// that text: a later text (a new launch's, say) is never blanked by the earlier one's clear. A
// second call restarts the while.
void showForAWhile(QLabel& label, const QString& text, std::chrono::milliseconds shown);
