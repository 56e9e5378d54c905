#pragma once

#include <QStringView>

namespace quorvane::ascii {

// Whether every unit of the text is ASCII: all its units taken together, without a branch per unit, since the
// texts asked about are mostly short names.
inline bool isAscii(QStringView text)
{
    const char16_t* units = text.utf16();
    char16_t all = 0;
    for (qsizetype k = 0; k < text.size(); ++k)
        all |= units[k];
    return all < 0x80;
}

} // namespace quorvane::ascii
