// The fast line reading against a plain reference: the whole text decoded in one go, then cut one character
// at a time by the same rules. Texts are built so that breaks, bytes from 80 on and multi-byte characters fall
// on every position of the decoder's sixteen-byte windows and across the pieces it reads.
#include "TestFiles.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"
#include "text/LineDecoder.h"
#include "text/TextFiles.h"
#include "text/Windows1252.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtTest>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::TextEncoding)

namespace {

// Reads the whole input at once and says whether it ended inside a character.
class WholeDecoder final : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool endsInsideSequence() const { return state.remainingChars > 0; }
};

QString referenceText(const QByteArray& bytes, TextEncoding encoding)
{
    QString text;
    switch (encoding) {
    case TextEncoding::Ansi:
        for (const char byte : bytes)
            text += QChar(windows1252::character(static_cast<unsigned char>(byte)));
        return text;
    case TextEncoding::Utf16LE:
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            text +=
                QChar(char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (bytes.size() % 2 != 0)
            text += QChar::ReplacementCharacter;
        return text;
    case TextEncoding::Utf8:
    case TextEncoding::Utf16BE:
    case TextEncoding::Utf32LE:
    case TextEncoding::Utf32BE:
        break;
    }
    const auto converter = encoding == TextEncoding::Utf8      ? QStringConverter::Utf8
                           : encoding == TextEncoding::Utf16BE ? QStringConverter::Utf16BE
                           : encoding == TextEncoding::Utf32LE ? QStringConverter::Utf32LE
                                                               : QStringConverter::Utf32BE;
    WholeDecoder decoder(converter, QStringConverter::Flag::ConvertInitialBom);
    text = decoder.decode(bytes);
    if (decoder.endsInsideSequence())
        text += QChar::ReplacementCharacter;
    return text;
}

QStringList referenceLines(const QString& text, LineBreaks breaks)
{
    QStringList lines;
    QString line;
    bool afterCr = false;
    for (const QChar c : text) {
        switch (breaks) {
        case LineBreaks::CrLfOrLf:
        case LineBreaks::CrLfOnly:
            if (c == u'\n' && line.endsWith(u'\r')) {
                line.chop(1);
                lines.append(line);
                line.clear();
            } else if (c == u'\n' && breaks == LineBreaks::CrLfOrLf) {
                lines.append(line);
                line.clear();
            } else {
                line += c;
            }
            break;
        case LineBreaks::CrLfCrOrLf:
            if (c == u'\r' || (c == u'\n' && !afterCr)) {
                lines.append(line);
                line.clear();
            } else if (c != u'\n') {
                line += c;
            }
            afterCr = c == u'\r';
            break;
        }
    }
    if (breaks == LineBreaks::CrLfOnly || !line.isEmpty() || (breaks == LineBreaks::CrLfOrLf && lines.isEmpty()))
        lines.append(line);
    return lines;
}

QByteArray encoded(const QString& text, TextEncoding encoding)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (encoding) {
        case TextEncoding::Utf16LE:
            bytes += char(u & 0xFF);
            bytes += char(u >> 8);
            break;
        case TextEncoding::Utf16BE:
            bytes += char(u >> 8);
            bytes += char(u & 0xFF);
            break;
        case TextEncoding::Utf32LE:
            bytes += char(u & 0xFF);
            bytes += char(u >> 8);
            bytes += QByteArray(2, '\0');
            break;
        default:
            bytes += QByteArray(2, '\0');
            bytes += char(u >> 8);
            bytes += char(u & 0xFF);
            break;
        }
    }
    return bytes;
}

// A text of pieces that matter to the decoder: letters in runs of every length, CR, LF and CR LF, 8-bit bytes
// that widen as they are and that go through the table, whole, cut and stray UTF-8 sequences.
QByteArray randomBody(QRandomGenerator& random, TextEncoding encoding)
{
    static const QByteArray eightBit[] = {"\r", "\n", "\r\n", "\x80", "\x9F", "\xA0", "\xE9", "\xFF", "\x81"};
    static const QByteArray utf8[] = {"\r",       "\n",   "\r\n", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                      "\xE2\x82", "\x80", "\xFF", "\xC0\x80", "\xED\xA0\x80", "\xEF\xBB\xBF"};
    static const QString wide[] = {QStringLiteral("\r"),   QStringLiteral("\n"),  QStringLiteral("\r\n"),
                                   QStringLiteral("é"),    QStringLiteral("€"),   QStringLiteral("😀"),
                                   QString(QChar(0xD800)), QString(QChar(0x0A0D))};
    const int pieces = random.bounded(1, 40);
    QByteArray body;
    QString text;
    for (int i = 0; i < pieces; ++i) {
        if (random.bounded(2) == 0) {
            const QByteArray letters(random.bounded(1, 40), char('a' + random.bounded(26)));
            body += letters;
            text += QString::fromLatin1(letters);
        } else if (encoding == TextEncoding::Ansi) {
            body += eightBit[random.bounded(int(std::size(eightBit)))];
        } else if (encoding == TextEncoding::Utf8) {
            body += utf8[random.bounded(int(std::size(utf8)))];
        } else {
            text += wide[random.bounded(int(std::size(wide)))];
        }
    }
    if (encoding == TextEncoding::Ansi || encoding == TextEncoding::Utf8)
        return body;
    QByteArray bytes = encoded(text, encoding);
    if (random.bounded(4) == 0)
        bytes.chop(1); // ends inside a character
    return bytes;
}

QByteArray markOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Ansi:
        return {};
    case TextEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF");
    case TextEncoding::Utf16LE:
        return QByteArray("\xFF\xFE");
    case TextEncoding::Utf16BE:
        return QByteArray("\xFE\xFF");
    case TextEncoding::Utf32LE:
        return QByteArray("\xFF\xFE\x00\x00", 4);
    case TextEncoding::Utf32BE:
        return QByteArray("\x00\x00\xFE\xFF", 4);
    }
    return {};
}

constexpr qsizetype pieceSizes[] = {1, 2, 3, 5, 15, 16, 17, 64, 256 * 1024};

// A file's bytes that cannot be read past a point.
class FailingBuffer final : public QBuffer
{
public:
    FailingBuffer(const QByteArray& bytes, qint64 failAt) : m_bytes(bytes), m_failAt(failAt)
    {
        setBuffer(&m_bytes);
        open(QIODevice::ReadOnly);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (pos() >= m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        return QBuffer::readData(data, std::min(maxSize, m_failAt - pos()));
    }

private:
    QByteArray m_bytes;
    qint64 m_failAt;
};

} // namespace

class TestLineDecoder : public QObject
{
    Q_OBJECT

    static QList<Decoding> decodings()
    {
        QList<Decoding> all{Decoding::Plain};
        if (LineDecoder::bestDecoding() == Decoding::Sse2)
            all.append(Decoding::Sse2);
        return all;
    }

    testfiles::TemporaryFiles m_files;

    static void compareLines(const QStringList& lines, const QStringList& expected, const QByteArray& bytes,
                             qsizetype piece)
    {
        if (lines != expected) {
            qWarning() << "bytes" << bytes.toHex(' ') << "piece" << piece;
            QCOMPARE(lines, expected);
        }
    }

    // Appends the lines of the file after its first `skip` bytes (its mark).
    static void appendLines(const QString& path, TextBlock& block, TextEncoding encoding, LineBreaks breaks,
                            qsizetype skip, qsizetype piece)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.seek(skip));
        appendFileLines(file, encoding, breaks, block, piece);
    }

    // The lines of `body` as the program reads them, with every piece size, against the reference: into an
    // empty block, and appended to a block that already holds a text.
    void compareWithReference(const QByteArray& body, TextEncoding encoding, bool domainFile,
                              const QList<qsizetype>& pieces = {std::begin(pieceSizes), std::end(pieceSizes)})
    {
        const LineBreaks breaks = domainFile                       ? LineBreaks::CrLfCrOrLf
                                  : encoding == TextEncoding::Utf8 ? LineBreaks::CrLfOnly
                                                                   : LineBreaks::CrLfOrLf;
        // An 8-bit body must not begin like a mark, or the word-list reading would take another encoding.
        const QByteArray bytes = domainFile ? body : markOf(encoding) + body;
        const QStringList expected = referenceLines(referenceText(body, encoding), breaks);
        const QString path = m_files.withBytes(bytes);
        // A block that starts empty keeps one byte per character unless a character needs two; 8-bit text
        // always fits, Unicode text while it is ASCII.
        const QString text = referenceText(body, encoding);
        const bool narrow = encoding == TextEncoding::Ansi ||
                            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
        for (const qsizetype piece : pieces) {
            // Each decoding the processor runs, reached directly.
            for (const Decoding decoding : decodings()) {
                TextBlock block;
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QVERIFY(file.seek(markOf(encoding).size() * !domainFile));
                linedecoder_detail::appendDeviceLines(file, path, encoding, breaks, block, piece, decoding);
                if (block.toStringList() != expected)
                    qWarning() << "decoding" << int(decoding);
                compareLines(block.toStringList(), expected, bytes, piece);
                QCOMPARE(block.isNarrow(), narrow);
            }

            // The readings the program uses, with the decoding it chooses.
            TextBlock fresh;
            if (domainFile)
                DomainFileReader::appendAllNames(path, fresh, piece);
            else
                fresh = textfiles_detail::readFileLines(path, piece);
            compareLines(fresh.toStringList(), expected, bytes, piece);
            QCOMPARE(fresh.isNarrow(), narrow);

            // Appended after a text that needs two bytes per character, and after one that does not.
            const QString wideText = QStringLiteral("\u65E5 already there");
            TextBlock afterWide;
            afterWide.add(wideText);
            appendLines(path, afterWide, encoding, breaks, markOf(encoding).size() * !domainFile, piece);
            QCOMPARE(afterWide.text(0), wideText);
            compareLines(afterWide.toStringList().mid(1), expected, bytes, piece);
            QVERIFY(!afterWide.isNarrow());

            TextBlock afterNarrow;
            afterNarrow.startNarrow();
            afterNarrow.add(QStringLiteral("\u20AC already there"));
            QVERIFY(afterNarrow.isNarrow());
            appendLines(path, afterNarrow, encoding, breaks, markOf(encoding).size() * !domainFile, piece);
            QCOMPARE(afterNarrow.text(0), QStringLiteral("\u20AC already there"));
            compareLines(afterNarrow.toStringList().mid(1), expected, bytes, piece);
            QCOMPARE(afterNarrow.isNarrow(), narrow);
            if (QTest::currentTestFailed())
                return;
        }
        if (domainFile) // the streaming reader that quorvane-split uses cuts the same names
            QCOMPARE(DomainFileReader::readAllNames(path), expected);
    }

    static TextEncoding rowEncoding()
    {
        return *static_cast<TextEncoding*>(QTest::qData("encoding", qMetaTypeId<TextEncoding>()));
    }

    // The text as the current row's reading stores it; 8-bit and UTF-8 files get the euro sign's bytes.
    static QByteArray bytesOf(const QString& text)
    {
        switch (rowEncoding()) {
        case TextEncoding::Ansi:
            return windows1252::encode(text);
        case TextEncoding::Utf8:
            return text.toUtf8();
        default:
            return encoded(text, rowEncoding());
        }
    }

    // Every body against the reference for the current row's reading; stops at the first difference.
    void compareAll(const QList<QByteArray>& bodies)
    {
        QFETCH(TextEncoding, encoding);
        QFETCH(bool, domainFile);
        for (const QByteArray& body : bodies) {
            compareWithReference(body, encoding, domainFile);
            if (QTest::currentTestFailed())
                return;
        }
    }

private slots:
    void readings_data()
    {
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<bool>("domainFile");
        QTest::newRow("8-bit word list, CR LF or LF") << TextEncoding::Ansi << false;
        QTest::newRow("UTF-8 word list, only CR LF") << TextEncoding::Utf8 << false;
        QTest::newRow("UTF-16 word list, CR LF or LF") << TextEncoding::Utf16LE << false;
        QTest::newRow("big-endian UTF-16 word list") << TextEncoding::Utf16BE << false;
        QTest::newRow("UTF-32 word list") << TextEncoding::Utf32LE << false;
        QTest::newRow("domain file, CR LF, CR or LF") << TextEncoding::Ansi << true;
    }

    void breakAtEveryPositionOfAWindow_data() { readings_data(); }
    void breakAtEveryPositionOfAWindow()
    {
        // A CR LF pair, a lone LF and a lone CR at each of 40 positions: within a window, on its last unit, split
        // between two windows and between two pieces, in texts whose lengths are mostly not multiples of 16.
        QList<QByteArray> bodies;
        for (const char* terminator : {"\r\n", "\n", "\r", "\r\r\n", "\n\r"}) {
            for (int at = 0; at < 40; ++at)
                bodies.append(bytesOf(QString(at, u'x') + QString::fromLatin1(terminator) + QStringLiteral("tail")));
        }
        compareAll(bodies);
    }

    void breakAtEveryPositionOfABlock_data() { readings_data(); }
    void breakAtEveryPositionOfABlock()
    {
        // Texts long enough for whole 64-byte blocks: a break on every position of the first two blocks, and
        // pairs split between two blocks, between a block and the rest of a piece, and between two pieces.
        QList<QByteArray> bodies;
        for (const char* terminator : {"\r\n", "\n", "\r", "\r\r\n", "\n\r", "\n\n", "\r\n\r\n"}) {
            for (int at = 0; at < 140; ++at) {
                bodies.append(bytesOf(QString(at, u'x') + QString::fromLatin1(terminator) + QString(150 - at, u'y') +
                                      QStringLiteral("\r\n") + QString(70, u'z')));
            }
        }
        compareAll(bodies);
    }

    void nonAsciiAtEveryPositionOfAWindow_data() { readings_data(); }
    void nonAsciiAtEveryPositionOfAWindow()
    {
        // A character that the fast path cannot simply widen (the euro sign: byte 80, or three UTF-8 bytes), at
        // each of 40 positions of a line, and right before a break.
        QList<QByteArray> bodies;
        for (int at = 0; at < 40; ++at) {
            for (const char* after : {"yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\r\n", "\r\nz", "\nz"})
                bodies.append(bytesOf(QString(at, u'x') + QStringLiteral("€") + QString::fromLatin1(after)));
        }
        compareAll(bodies);
    }

    void randomTexts_data() { readings_data(); }
    void randomTexts()
    {
        const TextEncoding encoding = rowEncoding();
        QRandomGenerator random(20261207u + quint32(encoding) * 7 + quint32(QTest::currentDataTag()[0]));
        QList<QByteArray> bodies;
        for (int i = 0; i < 300; ++i) {
            bodies.append(randomBody(random, encoding));
            if (encoding == TextEncoding::Ansi && bodies.last().startsWith("\xFF"))
                bodies.last().prepend('a'); // FF FE would be a mark
        }
        compareAll(bodies);
    }

    // Files of several megabytes, whose character that needs two bytes comes late, after the block was filled
    // one byte per character for megabytes.
    void largeFiles_data() { readings_data(); }
    void largeFiles()
    {
        QFETCH(TextEncoding, encoding);
        QFETCH(bool, domainFile);
        const char* const breaks[] = {"\r\n", "\n", "\r", "\r\r\n"};
        QString text;
        for (int i = 0; text.size() < 1600000; ++i)
            text += QString(i % 29, QChar(u'a' + i % 26)) + QString::fromLatin1(breaks[i % 4]);
        text += QStringLiteral("late \u20AC and \u65E5\r\n");
        for (int i = 0; i < 1000; ++i)
            text += QStringLiteral("after %1\n").arg(i);
        QByteArray body = bytesOf(text);
        while (body.size() < 5 * 1024 * 1024) // UTF-8 and 8-bit text: more lines before the late character
            body.prepend(bytesOf(QStringLiteral("front line\r\n")).repeated(100000));
        compareWithReference(body, encoding, domainFile, {4093, 256 * 1024});
    }

    // A read that fails: the failure names the file and the reason, and the lines ended before it stay, with
    // each decoding.
    void readFailure_data()
    {
        QTest::addColumn<int>("fileBytes");
        QTest::addColumn<qint64>("failAt");
        QTest::addColumn<bool>("plain");
        for (const bool plain : {false, true}) {
            const char* const reading = plain ? "plain decoding" : "the processor's decoding";
            QTest::addRow("at the start, %s", reading) << 6 * 1024 * 1024 << qint64(0) << plain;
            QTest::addRow("after the first piece, %s", reading) << 6 * 1024 * 1024 << qint64(256 * 1024) << plain;
            QTest::addRow("in the middle, %s", reading) << 6 * 1024 * 1024 << qint64(5 * 1024 * 1024 + 3) << plain;
            QTest::addRow("before the last byte, %s", reading) << 6 * 1024 * 1024 << qint64(-1) << plain;
            QTest::addRow("small file, after the first piece, %s", reading)
                << 1024 * 1024 << qint64(256 * 1024 + 7) << plain;
        }
    }
    void readFailure()
    {
        QFETCH(int, fileBytes);
        QFETCH(qint64, failAt);
        QFETCH(bool, plain);
        QByteArray bytes;
        for (int i = 0; bytes.size() < fileBytes; ++i)
            bytes += "name" + QByteArray::number(i) + ".com\r\n";
        if (failAt < 0)
            failAt += bytes.size();
        FailingBuffer device(bytes, failAt);
        TextBlock lines;
        try {
            linedecoder_detail::appendDeviceLines(device, QStringLiteral("big.txt"), TextEncoding::Ansi,
                                                  LineBreaks::CrLfCrOrLf, lines, 256 * 1024,
                                                  plain ? Decoding::Plain : LineDecoder::bestDecoding());
            QFAIL("the read error was not reported");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(QStringLiteral("\"big.txt\"")), qPrintable(failure.description()));
            QVERIFY2(failure.description().contains(QStringLiteral("Input/output error")),
                     qPrintable(failure.description()));
        }
        // A CR read before the failure has ended its line already; what follows the last break has not.
        QStringList expected =
            QString::fromLatin1(bytes.left(failAt)).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        expected.removeLast();
        QCOMPARE(lines.toStringList(), expected);
    }

    void emptyInputs_data() { readings_data(); }
    void emptyInputs() { compareAll({QByteArray()}); }
};

QTEST_GUILESS_MAIN(TestLineDecoder)
#include "test_linedecoder.moc"
