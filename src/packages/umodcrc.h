// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The checksum in a UMOD installer's trailer, the engine's appMemCrc: CRC-32/BZIP2 (polynomial
// 0x04C11DB7 taken most significant bit first, not reflected; the register starts at ~previous
// and is inverted on return). It chains, so a file can be fed in blocks:
// umodCrc(b, umodCrc(a)) == umodCrc(a + b). "123456789" gives 0xFC891918.
quint32 umodCrc(QByteArrayView bytes, quint32 previous = 0);
