#include "support/textlines.h"

QStringList splitLines(QStringView text) {
    return text.toString().split(u'\n');
}
