#pragma once

#include <QStringView>

#include <vector>

// The numeric pieces of a split, in one place. A piece is numeric when its lower-cased text is one of:
//
//   decimal      [+-]? mantissa exponent?
//                mantissa  = ASCII digits with at most one "." anywhere among them, at least one digit
//                            ("5", "5.", ".5", "5.25")
//                exponent  = ("e" | "d") [+-]? ASCII digit+        ("1e5", "2d3", "1.5e-3"; not "1e", not "e5")
//                and the value does not overflow a double ("1e400" is not numeric; "1e-400" is, as 0)
//   hexadecimal  "&h" followed by 1 to 8 hexadecimal digits   ("&h1f", "&hFFFFFFFF"; not "&h", not "&h123456789")
//   octal        "&o" followed by octal digits whose value fits in 32 bits ("&o17", "&o37777777777")
//
// Nothing else: no lone sign or separator, no empty text, no blanks, group separators, currency symbols,
// parentheses, trailing signs, and no sign before "&h" or "&o". Letters are matched in either case, since
// lower-casing maps no other character onto "e", "d", "h", "o", a digit or a sign.
namespace quorvane {

// Whether the whole key is numeric.
bool isNumeric(QStringView key);

// Finds every end of a numeric piece from one place, in one pass.
class NumericScanner
{
public:
    NumericScanner() = default;
    NumericScanner(QStringView text, qsizetype start, const qint32* digitRunEnd = nullptr);

    // The next end, or -1 when no further end exists.
    qsizetype next();

    // Whether a numeric piece can start with this character; when not, no scanner is needed there.
    static bool canStart(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.' || u == u'&';
    }

    // Fills `runEnds` with, for each position of the text, the end of the run of ASCII digits there.
    static void findDigitRunEnds(QStringView text, std::vector<qint32>& runEnds);

private:
    enum class State : quint8
    {
        Start,
        Sign,
        Point, // a "." before any digit
        IntDigits,
        FracDigits,
        ExpMark,
        ExpSign,
        ExpDigits,
        Ampersand,
        HexMark,
        HexDigits,
        OctMark,
        OctDigits,
        Dead,
    };

    bool decimalFits(qsizetype end) const;
    void skipDigitRun();

    QStringView m_text;
    const qint32* m_digitRunEnd = nullptr;
    qsizetype m_start = 0;
    qsizetype m_position = 0;
    State m_state = State::Dead;
    // Decimal: the digits from the first non-zero one in the integer part, or the place of the first
    // non-zero fraction digit; the exponent, saturated.
    qint64 m_significantIntDigits = 0;
    qint64 m_fractionDigitsToFirstNonZero = 0;
    bool m_nonZero = false;
    bool m_exponentNegative = false;
    qint64 m_exponent = 0;
    // Hexadecimal digit count and octal value.
    int m_hexDigits = 0;
    quint64 m_octalValue = 0;
};

} // namespace quorvane
