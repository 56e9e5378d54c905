#include "LineDecoder.h"

#include "TextFiles.h"
#include "Windows1252.h"
#include "core/Failure.h"
#include "core/ProcessorFeatures.h"

#include <QSysInfo>

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

namespace quorvane {

namespace {

std::optional<QStringConverter::Encoding> converterFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case TextEncoding::Utf32LE:
        return QStringConverter::Utf32LE;
    case TextEncoding::Utf32BE:
        return QStringConverter::Utf32BE;
    case TextEncoding::Utf8: // decoded here, Qt's converter only for the non-ASCII runs
        return QStringConverter::Utf8;
    case TextEncoding::Utf16LE: // copied as it stands where the machine's own order is little-endian
        if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
            return QStringConverter::Utf16LE;
        break;
    case TextEncoding::Ansi:
        break;
    }
    return std::nullopt;
}

// Where a UTF-8 character that may go on past `end` begins, or `end`. [begin, end) holds no ASCII.
const unsigned char* incompleteTail(const unsigned char* begin, const unsigned char* end)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, end - begin); ++back) {
        const unsigned char byte = end[-back];
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return back < length ? end - back : end;
    }
    return end;
}

} // namespace

Decoding LineDecoder::bestDecoding()
{
#ifdef __SSE2__
    if (processor::hasSse2())
        return Decoding::Sse2;
#endif
    return Decoding::Plain;
}

LineDecoder::LineDecoder(TextBlock& lines, TextEncoding encoding, LineBreaks breaks, Decoding decoding)
    : m_lines(lines), m_encoding(encoding), m_breaks(breaks), m_decoding(decoding), m_firstLine(lines.count())
{
    // Lines are written where the last text ends, counted without gaps.
    m_lines.closeGaps();
    m_written = m_lines.characterCount();
    m_lineStart = m_written;
    if (const auto converter = converterFor(encoding)) {
        // UTF-8 runs are cut at ASCII bytes and at piece ends only between characters: no state between them.
        // The other converters see every byte and keep what a piece leaves unfinished.
        const auto flags = encoding == TextEncoding::Utf8
                               ? QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless
                               : QStringConverter::Flag::ConvertInitialBom;
        m_decoder.emplace(*converter, flags);
    }
    // Lines that start a block are kept one byte per character for as long as they can be.
    m_lines.startNarrow();
}

LineDecoder::~LineDecoder()
{
    if (!m_finished) {
        flushEnds();
        m_lines.finishWriting();
    }
}

void LineDecoder::flushEnds()
{
    m_lines.endTexts(m_pending.ends, m_pending.count);
    m_pending.count = 0;
}

void LineDecoder::expectBytes(qint64 bytes)
{
    // Characters never outnumber bytes in the 8-bit and UTF-8 readings; 16-bit text has one per two bytes
    // and 32-bit text at most one per two bytes (a surrogate pair for four).
    const qint64 characters =
        m_encoding == TextEncoding::Ansi || m_encoding == TextEncoding::Utf8 ? bytes : bytes / 2 + 1;
    try {
        if (m_lines.isNarrow())
            m_lines.narrowWriteBuffer(m_written + characters + writeAhead);
        else
            m_lines.writeBuffer(m_written + characters + writeAhead);
    } catch (const std::bad_alloc&) {
        return; // the buffer grows piece by piece instead, as far as memory allows
    }
    m_expectedBytes = bytes;
}

qsizetype LineDecoder::feed(const char* bytes, qsizetype size)
{
    const qsizetype taken = feedPiece(bytes, size, false);
    m_bytesSeen += taken;
    const qsizetype lines = m_lines.count() + m_pending.count - m_firstLine;
    if (m_expectedBytes > 0 && lines >= 256) {
        // The line ends are reserved once, for as many lines as the start of the text suggests, a tenth more;
        // a wrong guess only means that the list grows or keeps unused room.
        const double guess =
            double(lines) / double(m_bytesSeen) * double(std::max<qint64>(m_expectedBytes - m_bytesSeen, 0));
        m_expectedBytes = 0;
        try {
            m_lines.reserve(qsizetype(guess * 1.1) + 16, 0);
        } catch (const std::bad_alloc&) {
            // A guess too large to reserve: the ends grow as they come.
        }
    }
    return taken;
}

void LineDecoder::finish(const char* bytes, qsizetype size)
{
    feedPiece(bytes, size, true);
    // A file that ends inside a character (half a 16-bit unit, a part of a 32-bit one) gets one U+FFFD for it.
    const bool converted = m_encoding != TextEncoding::Utf8 && m_decoder.has_value();
    if (converted ? m_decoder->endsInsideSequence() : m_encoding == TextEncoding::Utf16LE && size % 2 != 0) {
        const char16_t replacement[1 + readAhead / 2] = {0xFFFD};
        feedUnits(reinterpret_cast<const unsigned char*>(replacement), 2);
    }
    endLastLine();
}

void LineDecoder::endLastLine()
{
    flushEnds();
    bool ends = false;
    switch (m_breaks) {
    case LineBreaks::CrLfOrLf:
        ends = m_written > m_lineStart || m_lines.count() == m_firstLine;
        break;
    case LineBreaks::CrLfOnly:
        ends = true;
        break;
    case LineBreaks::CrLfCrOrLf:
        ends = m_written > m_lineStart;
        break;
    }
    if (ends)
        m_lines.endTexts(&m_written, 1);
    m_lines.finishWriting();
    m_finished = true;
}

qsizetype LineDecoder::feedPiece(const char* bytes, qsizetype size, bool last)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes);
    const auto withBreaks = [&](auto feedWith) -> qsizetype {
        switch (m_breaks) {
        case LineBreaks::CrLfOrLf:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfOrLf>());
        case LineBreaks::CrLfOnly:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfOnly>());
        case LineBreaks::CrLfCrOrLf:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfCrOrLf>());
        }
        return size;
    };
    switch (m_encoding) {
    case TextEncoding::Ansi:
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Ansi>(src, size, last); });
    case TextEncoding::Utf8:
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Utf8>(src, size, last); });
    case TextEncoding::Utf16LE:
        if (m_decoder)
            return feedConverted(bytes, size);
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Utf16>(src, size, last); });
    case TextEncoding::Utf16BE:
    case TextEncoding::Utf32LE:
    case TextEncoding::Utf32BE:
        return feedConverted(bytes, size);
    }
    return size;
}

template <LineBreaks breaks, LineDecoder::Source source>
qsizetype LineDecoder::feedSource(const unsigned char* src, qsizetype size, bool last)
{
    // The one place where the decoding is chosen.
    const auto feedUnits = [&](auto unit, const unsigned char* from, qsizetype bytes) {
        using Unit = decltype(unit);
#ifdef __SSE2__
        if (m_decoding == Decoding::Sse2)
            return feedTextSse2<breaks, source, Unit>(from, bytes, last);
#endif
        return feedText<breaks, source, Unit>(from, bytes, last);
    };
    if (!m_lines.isNarrow())
        return feedUnits(char16_t(), src, size);
    const qsizetype taken = feedUnits(char(), src, size);
    if (!m_mustWiden)
        return taken;
    // A character without a byte of its own: the block turns wide, and the text goes on from that character.
    m_mustWiden = false;
    m_lines.widen(m_written);
    return taken + feedUnits(char16_t(), src + taken, size - taken);
}

template <LineBreaks breaks, LineDecoder::Source source, typename Unit>
qsizetype LineDecoder::feedText(const unsigned char* src, qsizetype size, bool last)
{
    constexpr bool narrow = std::is_same_v<Unit, char>;
    constexpr qsizetype step = source == Source::Utf16 ? 2 : 1;
    const qsizetype units = size / step;
    // No unit gives more than one character, except a UTF-8 sequence cut by the end of the file, whose bytes
    // give at most one each as well.
    Unit* const base = narrow ? reinterpret_cast<Unit*>(m_lines.narrowWriteBuffer(m_written + units))
                              : reinterpret_cast<Unit*>(m_lines.writeBuffer(m_written + units));
    Unit* out = base + m_written;
    Unit* lineStart = base + m_lineStart;
    bool afterCr = m_afterCr;
    const auto endLine = [&](Unit* at) {
        m_pending.ends[m_pending.count++] = at - base;
        lineStart = at;
        if (m_pending.count == PendingEnds::capacity)
            flushEnds();
    };

    const unsigned char* p = src;
    const unsigned char* const end = src + units * step;
    while (p < end) {
        char16_t unit = *p;
        if constexpr (source == Source::Utf16)
            std::memcpy(&unit, p, 2);
        if (unit == u'\n') {
            p += step;
            if constexpr (breaks == LineBreaks::CrLfCrOrLf) {
                if (!afterCr)
                    endLine(out); // a lone LF; the LF of a CR LF pair belongs to the CR that ended the line
            } else if (out > lineStart && out[-1] == Unit('\r')) {
                endLine(--out); // the CR of a pair was written as an ordinary character; the LF takes it back
            } else if constexpr (breaks == LineBreaks::CrLfOnly) {
                *out++ = Unit('\n'); // a lone LF is text
            } else {
                endLine(out);
            }
            afterCr = false;
            continue;
        }
        afterCr = false;
        if (breaks == LineBreaks::CrLfCrOrLf && unit == u'\r') {
            p += step;
            endLine(out);
            afterCr = true;
        } else if (unit < 0x80 || (narrow && source == Source::Ansi)) {
            // One character of the same value; a narrow block holds 8-bit text as its bytes.
            p += step;
            *out++ = Unit(unit);
        } else if constexpr (narrow) {
            m_mustWiden = true; // only a wide block holds this character
            break;
        } else if constexpr (source == Source::Utf8) {
            p = takeNonAscii(p, end, out, last);
            if (p < end && *p >= 0x80)
                break; // the next piece begins with the rest of this character
        } else if constexpr (source == Source::Ansi) {
            p += step;
            *out++ = windows1252::character(static_cast<unsigned char>(unit));
        } else {
            p += step;
            *out++ = unit;
        }
    }
    m_written = out - base;
    m_lineStart = lineStart - base;
    m_afterCr = afterCr;
    return p - src;
}

const unsigned char* LineDecoder::takeNonAscii(const unsigned char* p, const unsigned char* end, char16_t*& out,
                                               bool last)
{
    // The whole run of non-ASCII bytes goes through Qt's decoder at once.
    const unsigned char* stop = p + 1;
    while (stop < end && *stop >= 0x80)
        ++stop;
    const unsigned char* complete = stop == end ? incompleteTail(p, end) : stop;
    out = reinterpret_cast<char16_t*>(
        m_decoder->appendToBuffer(reinterpret_cast<QChar*>(out), QByteArrayView(p, complete - p)));
    if (complete == stop || !last)
        return complete;
    // The file ends inside a character: one replacement character for it.
    Decoder tail(QStringConverter::Utf8);
    out = reinterpret_cast<char16_t*>(
        tail.appendToBuffer(reinterpret_cast<QChar*>(out), QByteArrayView(complete, end - complete)));
    if (tail.endsInsideSequence())
        *out++ = QChar::ReplacementCharacter;
    return end;
}

qsizetype LineDecoder::feedUnits(const unsigned char* src, qsizetype size)
{
    switch (m_breaks) {
    case LineBreaks::CrLfOrLf:
        return feedSource<LineBreaks::CrLfOrLf, Source::Utf16>(src, size, false);
    case LineBreaks::CrLfOnly:
        return feedSource<LineBreaks::CrLfOnly, Source::Utf16>(src, size, false);
    case LineBreaks::CrLfCrOrLf:
        return feedSource<LineBreaks::CrLfCrOrLf, Source::Utf16>(src, size, false);
    }
    return size;
}

qsizetype LineDecoder::feedConverted(const char* bytes, qsizetype size)
{
    const qsizetype room = m_decoder->requiredSpace(size) + readAhead;
    if (m_converted.size() < 2 * room)
        m_converted.resize(2 * room);
    auto* begin = reinterpret_cast<QChar*>(m_converted.data());
    const QChar* end = m_decoder->appendToBuffer(begin, QByteArrayView(bytes, size));
    feedUnits(reinterpret_cast<const unsigned char*>(m_converted.constData()), 2 * (end - begin));
    return size;
}

void appendFileLines(QFile& file, TextEncoding encoding, LineBreaks breaks, TextBlock& lines, qsizetype pieceBytes)
{
    appendDeviceLines(file, file.fileName(), encoding, breaks, lines, pieceBytes);
}

void appendDeviceLines(QIODevice& device, const QString& name, TextEncoding encoding, LineBreaks breaks,
                       TextBlock& lines, qsizetype pieceBytes)
{
    linedecoder_detail::appendDeviceLines(device, name, encoding, breaks, lines, pieceBytes,
                                          LineDecoder::bestDecoding());
}

namespace linedecoder_detail {

void appendDeviceLines(QIODevice& device, const QString& name, TextEncoding encoding, LineBreaks breaks,
                       TextBlock& lines, qsizetype pieceBytes, Decoding decoding)
{
    pieceBytes = std::max<qsizetype>(pieceBytes, 1);
    LineDecoder decoder(lines, encoding, breaks, decoding);
    if (!device.isSequential()) {
        const qint64 left = device.size() - device.pos();
        if (left > 0)
            decoder.expectBytes(left);
    }
    try {
        // Room before the piece for what the piece before left over, and after it for the decoder's look-ahead.
        QByteArray buffer(LineDecoder::maxLeftOver + pieceBytes + LineDecoder::readAhead, Qt::Uninitialized);
        char* const bytes = buffer.data() + LineDecoder::maxLeftOver;
        qsizetype leftOver = 0;
        for (;;) {
            const qint64 got = device.read(bytes, pieceBytes);
            if (got < 0)
                throwReadError(device, name);
            char* const start = bytes - leftOver;
            if (got == 0) {
                decoder.finish(start, leftOver);
                return;
            }
            const qsizetype size = leftOver + got;
            const qsizetype taken = decoder.feed(start, size);
            leftOver = size - taken;
            std::memmove(bytes - leftOver, start + taken, size_t(leftOver));
        }
    } catch (const std::bad_alloc&) {
        // A file larger than memory (a disk image chosen by mistake) is a failure to report, not the end of the
        // program; the lines read so far stay.
        throw Failure(QStringLiteral("Cannot read \"%1\": not enough memory for its text").arg(name));
    }
}

} // namespace linedecoder_detail

} // namespace quorvane
