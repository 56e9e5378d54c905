#include "RowFormat.h"

#include "engine/NameCleaner.h"
#include "engine/WordScores.h"
#include "text/Utf8.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace quorvane {

namespace {

// Rows and pieces are copied in whole blocks, short as they are: fixed-size copies need no call and no branch on
// the length. Both sides have a block's room past the bytes that count.
constexpr qsizetype pieceBlock = 16;
constexpr qsizetype rowBlock = 64;

template <qsizetype block> void copyBlocks(char* to, const char* from, qsizetype bytes)
{
    for (qsizetype done = 0; done < bytes; done += block)
        std::memcpy(to + done, from + done, block);
}

// The UTF-8 bytes of a text without surrogates, and where each unit's bytes start. Each unit is then one
// character, so the bytes of a piece are those of its units: a row's bytes are its pieces' bytes.
bool encodeUnits(QStringView text, std::vector<char>& bytes, std::vector<qint32>& offsets)
{
    const qsizetype size = text.size();
    // Room for an LF and a block past the bytes; both only grow, so that nothing is filled for each text.
    if (bytes.size() < static_cast<std::size_t>(3 * size + 1 + rowBlock))
        bytes.resize(static_cast<std::size_t>(3 * size + 1 + rowBlock));
    if (offsets.size() < static_cast<std::size_t>(size + 1))
        offsets.resize(static_cast<std::size_t>(size + 1));
    char* out = bytes.data();
    qint32 length = 0;
    for (qsizetype k = 0; k < size; ++k) {
        const char16_t unit = text[k].unicode();
        offsets[static_cast<std::size_t>(k)] = length;
        if (QChar::isSurrogate(unit))
            return false;
        length = static_cast<qint32>(utf8::put(unit, out + length) - out);
    }
    offsets[static_cast<std::size_t>(size)] = length;
    return true;
}

QByteArray scoreText(qint64 score)
{
    return QByteArray::number(static_cast<double>(score) / WordScores::unitsPerNat, 'f', RowFormat::scoreDecimals);
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void appendJson(QByteArray& to, QStringView text)
{
    static const char hex[] = "0123456789abcdef";
    to += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            to += "\\\"";
            break;
        case '\\':
            to += "\\\\";
            break;
        case '\n':
            to += "\\n";
            break;
        case '\r':
            to += "\\r";
            break;
        case '\t':
            to += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                to += "\\u00";
                to += hex[(c >> 4) & 0xf];
                to += hex[c & 0xf];
            } else {
                to += c;
            }
        }
    }
    to += '"';
}

// A TSV field holds no TAB nor line break: those and the backslash are escaped as \t, \n, \r and \\.
QByteArray tsvField(QStringView text)
{
    QByteArray bytes = text.toUtf8();
    if (!std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\\'; }))
        return bytes;
    QByteArray escaped;
    for (const char c : bytes) {
        switch (c) {
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

const char* RowFormat::pieceKindName(PieceKind kind)
{
    switch (kind) {
    case PieceKind::Known:
        break;
    case PieceKind::Letter:
        return "letter";
    case PieceKind::Unknown:
        return "unknown";
    }
    return "known";
}

QString RowFormat::rowStart(QStringView name, bool showOriginal)
{
    return showOriginal ? trimBlanks(name).toString() + QStringLiteral(" - ") : QString();
}

EntryProcessor::Outcome RowFormat::write(EntryProcessor& processor, QStringView name, const SplitOptions& options,
                                         RowOutput& output) const
{
    RowFormatter formatter(*this, options);
    formatter.setOutput(output);
    return processor.split(name, options, formatter);
}

RowFormatter::RowFormatter(const RowFormat& format, const SplitOptions& options)
    : m_format(format), m_showOriginal(options.showOriginal),
      m_withKinds(options.order == SplitOrder::Ranked && options.best > 0)
{
    wantsScores = format.needsScores();
    wantsKinds = m_withKinds && format.layout != RowFormat::Layout::Text;
}

RowFormatter::~RowFormatter() = default;

void RowFormatter::put(const QByteArray& bytes)
{
    char* out = m_output->reserve(bytes.size());
    std::memcpy(out, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    m_output->commit(out + bytes.size());
}

void RowFormatter::begin(QStringView name, QStringView text)
{
    m_text = text;
    m_rank = 0;
    m_plainText = false;
    m_asciiText = false;
    const QStringView trimmedName = trimBlanks(name);
    switch (m_format.layout) {
    case RowFormat::Layout::Text:
        m_start = m_showOriginal ? RowFormat::rowStart(name, true).toUtf8() : QByteArray();
        break;
    case RowFormat::Layout::Tsv:
        m_start = tsvField(trimmedName) + '\t';
        return;
    case RowFormat::Layout::Jsonl:
        m_row = "{\"name\":";
        appendJson(m_row, trimmedName);
        m_row += ",\"splits\":[";
        put(m_row);
        return;
    }
    m_surrogates = !encodeUnits(text, m_bytes, m_byteOffsets);
    m_plainText = !m_surrogates && !m_format.scores;
    m_asciiText = m_plainText && m_byteOffsets[static_cast<std::size_t>(text.size())] == text.size();
    if (m_surrogates)
        return;
    // The row's start, then per piece a blank (but before the first) and the piece's bytes.
    const qsizetype size = text.size();
    m_textBytes = m_byteOffsets[static_cast<std::size_t>(size)];
    m_bytes[static_cast<std::size_t>(m_textBytes)] = '\n';
    const auto rowRoom = static_cast<std::size_t>(m_start.size() + m_textBytes + size + 1 + rowBlock);
    if (m_rowBytes.size() < rowRoom)
        m_rowBytes.resize(rowRoom);
    if (m_rowLengths.size() < static_cast<std::size_t>(size + 1))
        m_rowLengths.resize(static_cast<std::size_t>(size + 1));
    std::memcpy(m_rowBytes.data(), m_start.constData(), static_cast<std::size_t>(m_start.size()));
    m_rowLengths[0] = m_start.size();
}

inline void RowFormatter::writeAsciiRow(std::span<const qint32> ends, qsizetype same)
{
    // As below, with each unit one byte: the pieces before piece k, each with its blank, take its start plus k.
    char* const row = m_rowBytes.data() + m_start.size();
    const char* const bytes = m_bytes.data();
    const auto last = std::max<qsizetype>(static_cast<qsizetype>(ends.size()) - 1, 0);
    for (qsizetype k = same; k < last; ++k) {
        const qint32 from = k == 0 ? 0 : ends[static_cast<std::size_t>(k - 1)];
        const qint32 end = ends[static_cast<std::size_t>(k)];
        copyBlocks<pieceBlock>(row + from + k, bytes + from, end - from);
        row[end + k] = ' ';
    }
    const qint32 lastFrom = last == 0 ? 0 : ends[static_cast<std::size_t>(last - 1)];
    const qsizetype built = m_start.size() + lastFrom + last;
    const qsizetype length = built + m_textBytes - lastFrom + 1;
    char* out = m_output->reserve(length + rowBlock);
    copyBlocks<rowBlock>(out, m_rowBytes.data(), built);
    copyBlocks<rowBlock>(out + built, bytes + lastFrom, length - built);
    m_output->commit(out + length);
}

inline void RowFormatter::writeTextRow(std::span<const qint32> ends, qsizetype same)
{
    // The pieces before the last are kept in the row where they stand, each with a blank after it; the last
    // piece runs to the text's end, so it is copied with the LF after the text.
    char* const row = m_rowBytes.data();
    qsizetype* const lengths = m_rowLengths.data();
    const char* const bytes = m_bytes.data();
    const qint32* const offsets = m_byteOffsets.data();
    const auto offset = [offsets](qint32 at) { return offsets[at]; };
    const auto last = std::max<qsizetype>(static_cast<qsizetype>(ends.size()) - 1, 0);
    for (qsizetype k = same; k < last; ++k) {
        const qint32 from = offset(k == 0 ? 0 : ends[static_cast<std::size_t>(k - 1)]);
        const qsizetype at = lengths[k];
        const qsizetype pieceBytes = offset(ends[static_cast<std::size_t>(k)]) - from;
        copyBlocks<pieceBlock>(row + at, bytes + from, pieceBytes);
        row[at + pieceBytes] = ' ';
        lengths[k + 1] = at + pieceBytes + 1;
    }
    const qsizetype built = lengths[last];
    const qint32 lastFrom = offset(last == 0 ? 0 : ends[static_cast<std::size_t>(last - 1)]);
    const qsizetype length = built + m_textBytes - lastFrom + 1;
    char* out = m_output->reserve(length + rowBlock);
    copyBlocks<rowBlock>(out, row, built);
    copyBlocks<rowBlock>(out + built, bytes + lastFrom, length - built);
    m_output->commit(out + length);
}

void RowFormatter::writeTextRowAlone(std::span<const qint32> ends, qint64 score)
{
    const QByteArray scoreField = m_format.scores ? '\t' + scoreText(score) : QByteArray();
    if (m_surrogates) {
        // A piece may end between the halves of a pair, so the row is encoded whole.
        QString row = QString::fromUtf8(m_start);
        for (std::size_t k = 0; k < ends.size(); ++k) {
            if (k > 0)
                row += QLatin1Char(' ');
            row += pieceOf(m_text, ends, k);
        }
        m_row = row.toUtf8();
        m_row += scoreField;
        m_row += '\n';
        put(m_row);
        return;
    }
    // The row built whole: its start, the pieces with a blank between, the score.
    char* const row = m_rowBytes.data();
    const char* const bytes = m_bytes.data();
    const qint32* const offsets = m_byteOffsets.data();
    qsizetype length = m_start.size();
    for (std::size_t k = 0; k < ends.size(); ++k) {
        const qint32 from = k == 0 ? 0 : ends[k - 1];
        if (k > 0)
            row[length++] = ' ';
        const qsizetype pieceBytes = offsets[ends[k]] - offsets[from];
        copyBlocks<pieceBlock>(row + length, bytes + offsets[from], pieceBytes);
        length += pieceBytes;
    }
    char* out = m_output->reserve(length + scoreField.size() + 1);
    std::memcpy(out, row, static_cast<std::size_t>(length));
    std::memcpy(out + length, scoreField.constData(), static_cast<std::size_t>(scoreField.size()));
    length += scoreField.size();
    out[length] = '\n';
    m_output->commit(out + length + 1);
}

bool RowFormatter::split(const FoundSplit& found)
{
    if (m_asciiText) [[likely]]
        writeAsciiRow(found.ends, found.same);
    else if (m_plainText)
        writeTextRow(found.ends, found.same);
    else
        writeOtherRow(found);
    return true;
}

void RowFormatter::writeOtherRow(const FoundSplit& found)
{
    const std::span<const qint32> ends = found.ends;
    const std::span<const PieceKind> kinds = found.kinds;
    const qint64 score = found.score;
    if (m_format.layout == RowFormat::Layout::Text) {
        writeTextRowAlone(ends, score);
        return;
    }
    ++m_rank;
    const auto kindOf = [&](std::size_t k) {
        return RowFormat::pieceKindName(kinds.empty() ? PieceKind::Known : kinds[k]);
    };
    m_row.resize(0);
    switch (m_format.layout) {
    case RowFormat::Layout::Text:
        break;
    case RowFormat::Layout::Tsv:
        m_row += m_start;
        m_row += QByteArray::number(m_rank);
        m_row += '\t';
        m_row += scoreText(score);
        m_row += '\t';
        for (std::size_t k = 0; k < ends.size(); ++k) {
            if (k > 0)
                m_row += ' ';
            m_row += tsvField(pieceOf(m_text, ends, k));
        }
        if (m_withKinds) {
            m_row += '\t';
            for (std::size_t k = 0; k < ends.size(); ++k) {
                if (k > 0)
                    m_row += ' ';
                m_row += kindOf(k);
            }
        }
        m_row += '\n';
        break;
    case RowFormat::Layout::Jsonl:
        if (m_rank > 1)
            m_row += ',';
        m_row += "{\"words\":[";
        for (std::size_t k = 0; k < ends.size(); ++k) {
            if (k > 0)
                m_row += ',';
            appendJson(m_row, pieceOf(m_text, ends, k));
        }
        m_row += "],\"score\":";
        m_row += scoreText(score);
        if (m_withKinds) {
            m_row += ",\"kinds\":[";
            for (std::size_t k = 0; k < ends.size(); ++k) {
                if (k > 0)
                    m_row += ',';
                m_row += '"';
                m_row += kindOf(k);
                m_row += '"';
            }
            m_row += ']';
        }
        m_row += '}';
        break;
    }
    put(m_row);
}

void RowFormatter::end(const SplitOutcome& outcome)
{
    if (m_format.layout != RowFormat::Layout::Jsonl)
        return;
    m_row = outcome.cut ? QByteArray("],\"cut\":true") : QByteArray("],\"cut\":false");
    if (!outcome.failures.isEmpty()) {
        m_row += ",\"error\":";
        appendJson(m_row, outcome.failures.join(QLatin1Char('\n')));
    }
    m_row += "}\n";
    put(m_row);
}

} // namespace quorvane
