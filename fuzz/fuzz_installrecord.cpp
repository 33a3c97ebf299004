// SPDX-License-Identifier: GPL-3.0-or-later
// Install records and journals of any shape, as a tampered data folder or a cut-short journal
// holds them: no crash; a record or journal read back names only paths inside the game folder, and
// a record written again reads back the same.
#include "modinstall/installjournal.h"
#include "modinstall/installpaths.h"
#include "modinstall/installrecord.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto record = parseRecord(bytes)) {
        for (const RecordedFile& file : record->files)
            if (!isSafeRelativePath(file.path))
                std::abort();
        for (const QString& folder : record->createdFolders)
            if (!isSafeRelativePath(folder))
                std::abort();
        for (const ReplacedFile& file : record->replaced)
            if (!isSafeRelativePath(file.path))
                std::abort();
        if (parseRecord(recordJson(*record)) != record)
            std::abort();
    }
    if (const auto journal = parseJournal(bytes))
        for (const JournalStep& step : journal->steps)
            if (!isSafeRelativePath(step.path))
                std::abort();
    return 0;
}
