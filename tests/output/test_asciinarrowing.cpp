// The SSE2 narrowing of the exports against the plain loop: every length around one and two vectors, with a
// unit that is not ASCII at every position, and never a byte written past the text.
#include "output/AsciiNarrowing.h"

#include <QtTest>

#include <vector>

using namespace quorvane;

class TestAsciiNarrowing : public QObject
{
    Q_OBJECT

    using Narrowing = bool (*)(const char16_t*, qsizetype, char*);

    // Narrows the text into a buffer with guard bytes after it; fails when one of them is written.
    static bool narrowGuarded(Narrowing narrowing, const std::vector<char16_t>& text, QByteArray& bytes)
    {
        constexpr qsizetype guard = 32;
        bytes = QByteArray(qsizetype(text.size()) + guard, '#');
        const bool ascii = narrowing(text.data(), qsizetype(text.size()), bytes.data());
        if (bytes.mid(qsizetype(text.size())) != QByteArray(guard, '#'))
            qFatal("written past the text of %zu units", text.size());
        bytes.truncate(qsizetype(text.size()));
        return ascii;
    }

private slots:
    void sse2MatchesPlain_data()
    {
        QTest::addColumn<char16_t>("other");
        QTest::newRow("no other unit") << char16_t(0);
        QTest::newRow("U+0080, the first not ASCII") << char16_t(0x80);
        QTest::newRow("U+00FF, fits a byte") << char16_t(0xFF);
        QTest::newRow("U+0100") << char16_t(0x100);
        QTest::newRow("U+8000, high bit only") << char16_t(0x8000);
        QTest::newRow("U+FFFF") << char16_t(0xFFFF);
    }
    void sse2MatchesPlain()
    {
#ifndef __SSE2__
        QSKIP("This build has no SSE2 narrowing");
#else
        QFETCH(char16_t, other);
        for (qsizetype size = 0; size <= 40; ++size) {
            // Without the other unit, then with it on each position.
            for (qsizetype at = -1; at < (other == 0 ? 0 : size); ++at) {
                std::vector<char16_t> text(static_cast<size_t>(size));
                for (qsizetype i = 0; i < size; ++i)
                    text[size_t(i)] = char16_t(0x20 + (i * 7) % 0x5F); // every printable ASCII character
                if (at >= 0)
                    text[size_t(at)] = other;
                QByteArray plain, sse2;
                const bool plainAscii = narrowGuarded(ascii::narrowPlain, text, plain);
                const bool sse2Ascii = narrowGuarded(ascii::narrowSse2, text, sse2);
                QCOMPARE(plainAscii, at < 0);
                QCOMPARE(sse2Ascii, plainAscii);
                if (plainAscii)
                    QCOMPARE(sse2, plain);
            }
        }
#endif
    }
};

QTEST_GUILESS_MAIN(TestAsciiNarrowing)
#include "test_asciinarrowing.moc"
