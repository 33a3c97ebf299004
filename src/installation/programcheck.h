// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "installation/gamelayout.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

// How much of a program's start is read to see what it needs: ELF program headers and the
// loader's name sit near the front.
inline constexpr qsizetype programHeadBytes = qsizetype(64) << 10;

// Why a program that exists cannot run on this computer, in words a player can act on, read from
// its first bytes: an ELF program for another processor, an ELF program whose loader is missing
// (for a 32-bit one on a 64-bit system, the 32-bit libraries), or a script whose interpreter is
// missing. Absent where the bytes show nothing wrong or are neither ELF nor a script.
std::optional<QString> programCannotRunReason(QByteArrayView head, CpuArchitecture host,
                                              const std::function<bool(const QString&)>& exists);
