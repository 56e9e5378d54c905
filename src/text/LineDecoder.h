#pragma once

#include "text/TextBlock.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

#include <optional>

namespace quorvane {

enum class TextEncoding
{
    Ansi, // Windows-1252
    Utf8,
    Utf16LE,
    Utf16BE,
    Utf32LE,
    Utf32BE,
};

// Where one line ends and the next begins.
enum class LineBreaks
{
    // A CR LF pair or a lone LF; a lone CR stays in its line. A break at the very end adds no line, and a text
    // without any line gives one empty line.
    CrLfOrLf,
    // Only a CR LF pair; what follows the last pair is always a line, also when it is empty.
    CrLfOnly,
    // A CR LF pair, a lone CR or a lone LF. A break at the very end adds no line; an empty text has none.
    CrLfCrOrLf,
};

// How a LineDecoder takes its units: one at a time, or sixteen bytes at a time with SSE2 (LineDecoderSse2.cpp).
// Both give the same lines; bestDecoding() chooses.
enum class Decoding
{
    Plain,
    Sse2,
};

// Decodes text arriving in pieces into a TextBlock, one text per line.
class LineDecoder final
{
public:
    // A piece must be followed by this many readable bytes, which the SSE2 decoding looks at but never uses.
    static constexpr qsizetype readAhead = 16;
    // Bytes that feed() may leave over for the next piece at most.
    static constexpr qsizetype maxLeftOver = 3;

    // The fastest decoding this processor runs: SSE2 where it can, unless the fast paths are turned off.
    static Decoding bestDecoding();

    LineDecoder(TextBlock& lines, TextEncoding encoding, LineBreaks breaks, Decoding decoding = bestDecoding());
    ~LineDecoder();
    LineDecoder(const LineDecoder&) = delete;
    LineDecoder& operator=(const LineDecoder&) = delete;

    // Makes room for the text of `bytes` more bytes at once, so that the buffer need not grow piece by piece.
    void expectBytes(qint64 bytes);
    // Decodes the piece and returns how many of its bytes it took; the rest, the start of a character that
    // may go on in the next piece, must begin the next piece.
    qsizetype feed(const char* bytes, qsizetype size);
    // Decodes the last piece whole and ends the last line.
    void finish(const char* bytes, qsizetype size);

    // What the decodings read: 8-bit bytes, UTF-8 bytes or 16-bit units in the machine's own byte order.
    enum class Source
    {
        Ansi,
        Utf8,
        Utf16,
    };

private:
    // A decoder that tells whether its input ended inside a multi-byte sequence.
    class Decoder final : public QStringDecoder
    {
    public:
        using QStringDecoder::QStringDecoder;
        bool endsInsideSequence() const { return state.remainingChars > 0; }
    };

    // Line ends not yet handed to the block, which takes them in batches.
    struct PendingEnds
    {
        static constexpr int capacity = 1024;
        qsizetype ends[capacity];
        int count = 0;
    };

    template <LineBreaks breaks, Source source>
    qsizetype feedSource(const unsigned char* src, qsizetype size, bool last);
    // Writes one byte per character (`Unit` char) until a character has none; it then sets m_mustWiden and
    // returns where that character begins.
    template <LineBreaks breaks, Source source, typename Unit>
    qsizetype feedText(const unsigned char* src, qsizetype size, bool last);
    // The same, sixteen bytes at a time (LineDecoderSse2.cpp); it may write up to writeAhead units past the text.
    template <LineBreaks breaks, Source source, typename Unit>
    qsizetype feedTextSse2(const unsigned char* src, qsizetype size, bool last);
    static constexpr qsizetype writeAhead = 16;
    qsizetype feedUnits(const unsigned char* src, qsizetype size);
    const unsigned char* takeNonAscii(const unsigned char* p, const unsigned char* end, char16_t*& out, bool last);
    qsizetype feedPiece(const char* bytes, qsizetype size, bool last);
    qsizetype feedConverted(const char* bytes, qsizetype size);
    void endLastLine();
    void flushEnds();

    TextBlock& m_lines;
    TextEncoding m_encoding;
    LineBreaks m_breaks;
    Decoding m_decoding;
    qsizetype m_firstLine;  // lines in the block before this decoder
    qsizetype m_written;    // where the next character goes, counted from the block's start
    qsizetype m_lineStart;  // where the unfinished line begins
    bool m_afterCr = false; // the last unit was a CR that ended a line: an LF right after it belongs to it
    bool m_finished = false;
    bool m_mustWiden = false;   // the narrow pass stopped at a character that needs two
    qint64 m_expectedBytes = 0; // what expectBytes announced, until the line ends are reserved from it
    qint64 m_bytesSeen = 0;
    std::optional<Decoder> m_decoder; // non-ASCII UTF-8, and the encodings read through Qt's converters
    QByteArray m_converted;           // UTF-16 from those converters, with room to read ahead
    PendingEnds m_pending;
};

// Appends the lines of the file from its current position on, reading it in pieces of `pieceBytes`, so that
// memory holds the decoded lines and one piece. Throws Failure naming the file and the system's reason when a
// read fails; the lines ended before stay appended.
void appendFileLines(QFile& file, TextEncoding encoding, LineBreaks breaks, TextBlock& lines,
                     qsizetype pieceBytes = 256 * 1024);
// The same for any device, named `name` in a failure.
void appendDeviceLines(QIODevice& device, const QString& name, TextEncoding encoding, LineBreaks breaks,
                       TextBlock& lines, qsizetype pieceBytes = 256 * 1024);

namespace linedecoder_detail {
// appendDeviceLines with the decoding chosen by the caller; appendDeviceLines takes LineDecoder::bestDecoding().
void appendDeviceLines(QIODevice& device, const QString& name, TextEncoding encoding, LineBreaks breaks,
                       TextBlock& lines, qsizetype pieceBytes, Decoding decoding);
} // namespace linedecoder_detail

} // namespace quorvane
