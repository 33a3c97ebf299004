// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/programcheck.h"

#include <QList>

namespace {

// ELF header fields (System V ABI).
constexpr int classOffset = 4, dataOffset = 5, machineOffset = 18;
constexpr unsigned char class32 = 1, class64 = 2, dataBigEndian = 2;
constexpr quint64 interpreterSegment = 3; // PT_INTERP

struct Machine {
    quint16 number;
    CpuArchitecture architecture;
    const char* name;
};
// x86 and 32-bit ARM run on their 64-bit processors given the 32-bit libraries.
const Machine machines[] = {{62, CpuArchitecture::X86_64, "x86-64"},
                            {3, CpuArchitecture::X86, "32-bit x86"},
                            {183, CpuArchitecture::Arm64, "ARM64"},
                            {40, CpuArchitecture::Other, "32-bit ARM"},
                            {21, CpuArchitecture::Ppc64le, "64-bit PowerPC"},
                            {20, CpuArchitecture::Other, "32-bit PowerPC"},
                            {243, CpuArchitecture::Other, "RISC-V"}};

QString machineName(quint16 number, bool bigEndian) {
    for (const Machine& machine : machines) {
        if (machine.number == number)
            return QString::fromLatin1(machine.name) +
                   (bigEndian ? QStringLiteral(" (big-endian)") : QString());
    }
    return QStringLiteral("another kind of");
}

QString hostName(CpuArchitecture host) {
    for (const Machine& machine : machines) {
        if (machine.architecture == host)
            return QString::fromLatin1(machine.name);
    }
    return {};
}

// The machines a host runs natively: its own, and its 32-bit companion.
bool runsOn(quint16 machine, CpuArchitecture host) {
    switch (host) {
    case CpuArchitecture::X86_64:
        return machine == 62 || machine == 3;
    case CpuArchitecture::X86:
        return machine == 3;
    case CpuArchitecture::Arm64:
        return machine == 183 || machine == 40;
    case CpuArchitecture::Ppc64le:
        return machine == 21;
    case CpuArchitecture::Other:
        break;
    }
    return true; // nothing known to compare with
}

bool is64Bit(CpuArchitecture host) {
    return host == CpuArchitecture::X86_64 || host == CpuArchitecture::Arm64 ||
           host == CpuArchitecture::Ppc64le;
}

class ElfReader {
public:
    explicit ElfReader(QByteArrayView head)
        : head(head), bigEndian(head.size() > dataOffset && head[dataOffset] == dataBigEndian) {}

    // An unsigned field, absent where it lies beyond the bytes read.
    std::optional<quint64> field(quint64 offset, int size) const {
        if (offset > quint64(head.size()) || quint64(size) > quint64(head.size()) - offset)
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < size; ++i) {
            const quint64 byte = quint8(head[qsizetype(offset) + (bigEndian ? i : size - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }

    QByteArrayView head;
    bool bigEndian;
};

// The loader named by the program's interpreter segment; absent for a static program or one
// whose headers lie beyond the bytes read.
std::optional<QString> elfInterpreter(const ElfReader& elf, bool wide) {
    const int word = wide ? 8 : 4;
    const auto headers = elf.field(wide ? 32 : 28, word);
    const auto entrySize = elf.field(wide ? 54 : 42, 2);
    const auto count = elf.field(wide ? 56 : 44, 2);
    if (!headers || !entrySize || !count)
        return std::nullopt;
    for (quint64 i = 0; i < *count; ++i) {
        const quint64 entry = *headers + i * *entrySize;
        if (elf.field(entry, 4) != interpreterSegment)
            continue;
        const auto offset = elf.field(entry + (wide ? 8 : 4), word);
        const auto size = elf.field(entry + (wide ? 32 : 16), word);
        if (!offset || !size || !elf.field(*offset, 1) ||
            *size > quint64(elf.head.size()) - *offset)
            return std::nullopt;
        const QByteArrayView path = elf.head.sliced(qsizetype(*offset), qsizetype(*size));
        return QString::fromLocal8Bit(
            path.first(path.indexOf('\0') < 0 ? path.size() : path.indexOf('\0')));
    }
    return std::nullopt;
}

std::optional<QString> elfReason(QByteArrayView head, CpuArchitecture host,
                                 const std::function<bool(const QString&)>& exists) {
    const ElfReader elf(head);
    const auto machine = elf.field(machineOffset, 2);
    const bool wide = head.size() > classOffset && head[classOffset] == class64;
    if (!machine || (!wide && head[classOffset] != class32))
        return std::nullopt;
    if (!runsOn(quint16(*machine), host) || elf.bigEndian)
        return QStringLiteral("the game is made for %1 processors, not for this computer's %2")
            .arg(machineName(quint16(*machine), elf.bigEndian), hostName(host));
    const std::optional<QString> loader = elfInterpreter(elf, wide);
    if (!loader || loader->isEmpty() || exists(*loader))
        return std::nullopt;
    if (!wide && is64Bit(host))
        return QStringLiteral("the game is a 32-bit program and this system's 32-bit libraries "
                              "are not installed (%1 is missing)")
            .arg(*loader);
    return QStringLiteral("the program loader %1 that the game needs is not installed")
        .arg(*loader);
}

std::optional<QString> scriptReason(QByteArrayView head,
                                    const std::function<bool(const QString&)>& exists) {
    QByteArrayView line = head.sliced(2);
    if (const qsizetype end = line.indexOf('\n'); end >= 0)
        line = line.first(end);
    const QList<QByteArray> words = line.toByteArray().simplified().split(' ');
    const QString interpreter = QString::fromLocal8Bit(words.value(0));
    if (interpreter.isEmpty() || exists(interpreter))
        return std::nullopt;
    return QStringLiteral("the game is a script and its interpreter %1 is not installed")
        .arg(interpreter);
}

} // namespace

std::optional<QString> programCannotRunReason(QByteArrayView head, CpuArchitecture host,
                                              const std::function<bool(const QString&)>& exists) {
    if (head.startsWith("\x7f"
                        "ELF"))
        return elfReason(head, host, exists);
    if (head.startsWith("#!"))
        return scriptReason(head, exists);
    return std::nullopt;
}
