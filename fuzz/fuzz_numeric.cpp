// The numeric grammar: the one-pass scanner must find exactly the ends whose prefix isNumeric accepts,
// from every start, with and without the digit-run shortcut.
#include "engine/NumericPieces.h"

#include <QString>

#include <cstdint>
#include <vector>

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Bytes map onto a small alphabet of the characters that matter to the grammar.
    static const char16_t alphabet[] = u"0123456789.+-eEdDhHoO&fFaA9x 1";
    QString text;
    for (size_t i = 0; i < size && i < 200; ++i)
        text.append(QChar(alphabet[data[i] % (sizeof alphabet / sizeof alphabet[0] - 1)]));

    std::vector<qint32> runEnds;
    NumericScanner::findDigitRunEnds(text, runEnds);
    for (qsizetype start = 0; start <= text.size(); ++start) {
        std::vector<qsizetype> expected;
        for (qsizetype end = start + 1; end <= text.size(); ++end) {
            if (isNumeric(QStringView(text).sliced(start, end - start)))
                expected.push_back(end);
        }
        for (const qint32* shortcut :
             {static_cast<const qint32*>(nullptr), static_cast<const qint32*>(runEnds.data())}) {
            NumericScanner scanner(text, start, shortcut);
            std::vector<qsizetype> found;
            for (qsizetype end = scanner.next(); end >= 0; end = scanner.next())
                found.push_back(end);
            if (found != expected)
                abort();
        }
    }
    return 0;
}
