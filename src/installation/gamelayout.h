// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Where a copy of the game keeps what the launcher needs: the program to start, the folder to
// start it in, and the folder whose mods are listed.
struct GameLayout {
    QString executable;
    QString workingDirectory;
    QString searchBase;

    friend bool operator==(const GameLayout&, const GameLayout&) = default;
};

// Processors with a game executable of their own.
enum class CpuArchitecture { X86_64, X86, Arm64, Ppc64le, Other };

CpuArchitecture hostArchitecture();

// The Linux clients' executables below the game folder, in the order they are preferred on the
// given processor: its own first, then the others, which are still recognised (a launch of one
// then fails with the system's reason).
QStringList linuxExecutables(CpuArchitecture architecture);

// The classic application bundle: its executable inside, started in the bundle folder. Plain
// concatenation, as the stored path is used as it stands.
GameLayout bundleLayout(const QString& gamePath);

// The layout of the copy of the game at gamePath, or absent where nothing there is recognised.
// The bundle comes first: something at its executable's place, file or folder. Then the Linux
// clients: a file (or a link to one) at one of their executables, executable or not.
std::optional<GameLayout> recognizeGameLayout(const QString& gamePath,
                                              CpuArchitecture architecture = hostArchitecture());

// What a folder chosen in the location dialog stands for: the game folder itself; for one of its
// System folders, the folder above; for Steam's copy, the first native tree inside it; absent
// where none holds a recognised copy.
std::optional<QString> gameFolderForChosenFolder(const QString& chosen,
                                                 CpuArchitecture architecture = hostArchitecture());
