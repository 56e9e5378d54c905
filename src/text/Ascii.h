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

// The unit lower-cased in ASCII alone: "A" to "Z" become "a" to "z", every other unit stays. For texts already
// known to be ASCII, or compared only with lower-case ASCII; Unicode lower-casing is WordDictionary::lowerCase.
constexpr char16_t toLower(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + (u'a' - u'A')) : unit;
}

} // namespace quorvane::ascii
