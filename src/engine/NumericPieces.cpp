#include "NumericPieces.h"

#include "text/Ascii.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace quorvane {

namespace {

// A double holds values below 10^309; from 10^308 on the digits decide (1.79...e308 is the largest).
constexpr qint64 largestDecimalExponent = 308;
// Saturation of the exponent's value, far beyond anything that changes the outcome.
constexpr qint64 exponentCap = qint64(1) << 40;
// With more integer digits than this the value is out of range whatever follows in the same digit run.
constexpr qint64 certainOverflowDigits = largestDecimalExponent + 2;

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t lower)
{
    return isDigit(lower) || (lower >= u'a' && lower <= u'f');
}

} // namespace

NumericScanner::NumericScanner(QStringView text, qsizetype start, const qint32* digitRunEnd)
    : m_text(text), m_digitRunEnd(digitRunEnd), m_start(start), m_position(start), m_state(State::Start)
{}

void NumericScanner::findDigitRunEnds(QStringView text, std::vector<qint32>& runEnds)
{
    runEnds.resize(static_cast<std::size_t>(text.size()));
    qint32 end = static_cast<qint32>(text.size());
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (!isDigit(text[i].unicode()))
            end = static_cast<qint32>(i);
        runEnds[static_cast<std::size_t>(i)] = end;
    }
}

// Whether the decimal number text[m_start, end) fits a double.
bool NumericScanner::decimalFits(qsizetype end) const
{
    if (!m_nonZero)
        return true;
    const qint64 leading = m_significantIntDigits > 0 ? m_significantIntDigits - 1 : -m_fractionDigitsToFirstNonZero;
    const qint64 exponent = leading + (m_exponentNegative ? -m_exponent : m_exponent);
    if (exponent != largestDecimalExponent)
        return exponent < largestDecimalExponent;
    // Same order of magnitude as the largest double: let correctly rounded parsing decide.
    std::string digits;
    for (qsizetype i = m_start; i < end; ++i) {
        const char16_t c = ascii::toLower(m_text[i].unicode());
        if (c == u'e' || c == u'd')
            break;
        if (isDigit(c) && (!digits.empty() || c != u'0'))
            digits.push_back(static_cast<char>(c));
    }
    const std::string normalised =
        digits.size() == 1 ? digits + "e308" : digits.substr(0, 1) + "." + digits.substr(1) + "e308";
    double value = 0;
    const auto result = std::from_chars(normalised.data(), normalised.data() + normalised.size(), value);
    return result.ec == std::errc() && std::isfinite(value);
}

// Jumps over the rest of a digit run in which no end can be numeric.
void NumericScanner::skipDigitRun()
{
    const qsizetype runEnd = m_digitRunEnd[m_position];
    if (m_state == State::IntDigits)
        m_significantIntDigits += runEnd - m_position;
    m_position = runEnd;
}

qsizetype NumericScanner::next()
{
    const qsizetype size = m_text.size();
    while (m_position < size && m_state != State::Dead) {
        if (m_digitRunEnd && isDigit(m_text[m_position].unicode())) {
            const bool hopeless =
                ((m_state == State::IntDigits || m_state == State::FracDigits) &&
                 m_significantIntDigits > certainOverflowDigits) ||
                (m_state == State::ExpDigits && m_nonZero && !m_exponentNegative && m_exponent >= exponentCap);
            if (hopeless) {
                skipDigitRun();
                continue;
            }
        }
        const char16_t c = ascii::toLower(m_text[m_position].unicode());
        ++m_position;
        const int digit = isDigit(c) ? c - u'0' : -1;
        bool accepted = false;
        switch (m_state) {
        case State::Start:
        case State::Sign:
            if (digit >= 0) {
                m_state = State::IntDigits;
                if (digit > 0) {
                    m_nonZero = true;
                    m_significantIntDigits = 1;
                }
                accepted = true;
            } else if (c == u'.') {
                m_state = State::Point;
            } else if (m_state == State::Start && (c == u'+' || c == u'-')) {
                m_state = State::Sign;
            } else if (m_state == State::Start && c == u'&') {
                m_state = State::Ampersand;
            } else {
                m_state = State::Dead;
            }
            break;
        case State::Point:
        case State::IntDigits:
        case State::FracDigits:
            if (digit >= 0) {
                if (m_state == State::IntDigits) {
                    if (m_nonZero)
                        ++m_significantIntDigits;
                    else if (digit > 0) {
                        m_nonZero = true;
                        m_significantIntDigits = 1;
                    }
                } else if (!m_nonZero) {
                    ++m_fractionDigitsToFirstNonZero;
                    m_nonZero = digit > 0;
                }
                m_state = m_state == State::IntDigits ? State::IntDigits : State::FracDigits;
                accepted = true;
            } else if (c == u'.' && m_state == State::IntDigits) {
                m_state = State::FracDigits; // "5." has its digit
                accepted = true;
            } else if ((c == u'e' || c == u'd') && m_state != State::Point) {
                m_state = State::ExpMark;
            } else {
                m_state = State::Dead;
            }
            break;
        case State::ExpMark:
        case State::ExpSign:
            if (digit >= 0) {
                m_state = State::ExpDigits;
                m_exponent = digit;
                accepted = true;
            } else if (m_state == State::ExpMark && (c == u'+' || c == u'-')) {
                m_state = State::ExpSign;
                m_exponentNegative = c == u'-';
            } else {
                m_state = State::Dead;
            }
            break;
        case State::ExpDigits:
            if (digit >= 0) {
                m_exponent = std::min(m_exponent * 10 + digit, exponentCap);
                accepted = true;
            } else {
                m_state = State::Dead;
            }
            break;
        case State::Ampersand:
            m_state = c == u'h' ? State::HexMark : c == u'o' ? State::OctMark : State::Dead;
            break;
        case State::HexMark:
        case State::HexDigits:
            if (isHexDigit(c) && m_hexDigits < 8) {
                ++m_hexDigits;
                m_state = State::HexDigits;
                accepted = true;
            } else {
                m_state = State::Dead;
            }
            break;
        case State::OctMark:
        case State::OctDigits:
            if (c >= u'0' && c <= u'7') {
                m_octalValue = m_octalValue * 8 + static_cast<quint64>(c - u'0');
                m_state = m_octalValue <= 0xFFFFFFFFu ? State::OctDigits : State::Dead;
                accepted = m_state == State::OctDigits;
            } else {
                m_state = State::Dead;
            }
            break;
        case State::Dead:
            break;
        }
        if (accepted && (m_state == State::HexDigits || m_state == State::OctDigits || decimalFits(m_position)))
            return m_position;
    }
    m_state = State::Dead;
    return -1;
}

bool isNumeric(QStringView key)
{
    NumericScanner scanner(key, 0);
    qsizetype last = -1;
    for (qsizetype end = scanner.next(); end >= 0; end = scanner.next())
        last = end;
    return last == key.size();
}

} // namespace quorvane
