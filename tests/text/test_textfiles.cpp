#include "TestFiles.h"
#include "core/Failure.h"
#include "text/TextFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::TextEncoding)

namespace {

QByteArray utf16le(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray utf16be(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() >> 8));
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return bytes;
}

} // namespace

class TestTextFiles : public QObject
{
    Q_OBJECT

    testfiles::TemporaryFiles m_files;

    QString fileWith(const QByteArray& bytes) { return m_files.withBytes(bytes); }

private slots:
    void detection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<int>("markLength");
        QTest::newRow("no mark") << QByteArray("abc") << TextEncoding::Ansi << 0;
        QTest::newRow("empty file") << QByteArray() << TextEncoding::Ansi << 0;
        QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBFx") << TextEncoding::Utf8 << 3;
        QTest::newRow("utf-8 mark alone") << QByteArray("\xEF\xBB\xBF") << TextEncoding::Utf8 << 3;
        QTest::newRow("two bytes EF BB are not a utf-8 mark") << QByteArray("\xEF\xBB") << TextEncoding::Ansi << 0;
        QTest::newRow("two bytes FF FE") << QByteArray("\xFF\xFE") << TextEncoding::Utf16LE << 2;
        QTest::newRow("FE FF big-endian") << QByteArray("\xFE\xFF\x00\x61") << TextEncoding::Utf16BE << 2;
        QTest::newRow("FF FE 00 00 is 32-bit before 16-bit")
            << QByteArray("\xFF\xFE\x00\x00", 4) << TextEncoding::Utf32LE << 4;
        QTest::newRow("FF FE 00 with three bytes is 16-bit")
            << QByteArray("\xFF\xFE\x00", 3) << TextEncoding::Utf16LE << 2;
        QTest::newRow("00 00 FE FF") << QByteArray("\x00\x00\xFE\xFF", 4) << TextEncoding::Utf32BE << 4;
        QTest::newRow("one byte FF") << QByteArray("\xFF") << TextEncoding::Ansi << 0;
    }
    void detection()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        QFETCH(int, markLength);
        const DetectedEncoding detected = textfiles_detail::detectTextEncoding(fileWith(bytes));
        QCOMPARE(detected.encoding, encoding);
        QCOMPARE(detected.markLength, markLength);
    }

    void readFileLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QString a = QStringLiteral("alpha"), b = QStringLiteral("beta"), c = QStringLiteral("gamma");
        QTest::newRow("empty file gives one empty line") << QByteArray() << QStringList{QString()};
        QTest::newRow("three CR LF lines, no empty fourth")
            << QByteArray("alpha\r\nbeta\r\ngamma\r\n") << QStringList{a, b, c};
        QTest::newRow("utf-8 mark: trailing CR LF gives an empty fourth line")
            << QByteArray("\xEF\xBB\xBF"
                          "alpha\r\nbeta\r\ngamma\r\n")
            << QStringList{a, b, c, QString()};
        QTest::newRow("utf-8 mark with lone LF: one line") << QByteArray("\xEF\xBB\xBF"
                                                                         "alpha\nbeta\n")
                                                           << QStringList{QStringLiteral("alpha\nbeta\n")};
        QTest::newRow("utf-8 mark alone: one empty line") << QByteArray("\xEF\xBB\xBF") << QStringList{QString()};
        QTest::newRow("utf-8 decoded") << QByteArray("\xEF\xBB\xBF"
                                                     "caf\xC3\xA9\r\n\xC5\x81\xC3\xB3"
                                                     "d\xC5\xBA")
                                       << QStringList{QStringLiteral("café"), QStringLiteral("Łódź")};
        QTest::newRow("utf-8 second mark stays text")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << QStringList{QStringLiteral("\uFEFFx")};
        QTest::newRow("invalid utf-8 becomes replacement") << QByteArray("\xEF\xBB\xBF"
                                                                         "a\xFF"
                                                                         "b")
                                                           << QStringList{QStringLiteral("a\uFFFDb")};
        QTest::newRow("utf-8 cut inside a sequence") << QByteArray("\xEF\xBB\xBF"
                                                                   "a\xC3")
                                                     << QStringList{QStringLiteral("a\uFFFD")};
        QTest::newRow("last line without terminator") << QByteArray("alpha\r\nbeta") << QStringList{a, b};
        QTest::newRow("lone LF ends a line") << QByteArray("alpha\nbeta\n") << QStringList{a, b};
        QTest::newRow("lone CR stays inside") << QByteArray("al\rpha\r\n") << QStringList{QStringLiteral("al\rpha")};
        QTest::newRow("empty line kept") << QByteArray("alpha\r\n\r\nbeta") << QStringList{a, QString(), b};
        QTest::newRow("blanks not trimmed") << QByteArray(" alpha \r\n") << QStringList{QStringLiteral(" alpha ")};
        QTest::newRow("only a terminator") << QByteArray("\r\n") << QStringList{QString()};
        QTest::newRow("windows-1252 bytes")
            << QByteArray("caf\xE9 \x80 \x81") << QStringList{QStringLiteral("café € \u0081")};
        QTest::newRow("utf-16le with mark") << QByteArray("\xFF\xFE") + utf16le(QStringLiteral("ab\r\ncd\r\n"))
                                            << QStringList{QStringLiteral("ab"), QStringLiteral("cd")};
        QTest::newRow("utf-16le mark alone") << QByteArray("\xFF\xFE") << QStringList{QString()};
        QTest::newRow("utf-16be with mark") << QByteArray("\xFE\xFF") + utf16be(QStringLiteral("λόγος\nx"))
                                            << QStringList{QStringLiteral("λόγος"), QStringLiteral("x")};
        QTest::newRow("utf-16le odd byte at end") << QByteArray("\xFF\xFE"
                                                                "a\x00"
                                                                "b",
                                                                5)
                                                  << QStringList{QStringLiteral("a\uFFFD")};
        QTest::newRow("utf-32le") << QByteArray("\xFF\xFE\x00\x00"
                                                "a\x00\x00\x00\n\x00\x00\x00"
                                                "b\x00\x00\x00",
                                                16)
                                  << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("utf-32be") << QByteArray("\x00\x00\xFE\xFF\x00\x00\x00"
                                                "a",
                                                8)
                                  << QStringList{QStringLiteral("a")};
    }
    void readFileLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(quorvane::readFileLines(fileWith(bytes)).toStringList(), lines);
    }

    void readFileLinesAcrossChunkBoundaries()
    {
        // CR LF pairs and multi-byte sequences that straddle the reader's 1 MiB chunks.
        QByteArray ansi(1 << 20, 'x');
        ansi[(1 << 20) - 1] = '\r';
        ansi.append("\nend");
        const QStringList lines = quorvane::readFileLines(fileWith(ansi)).toStringList();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].size(), (1 << 20) - 1);
        QCOMPARE(lines[1], QStringLiteral("end"));

        QByteArray utf8("\xEF\xBB\xBF");
        utf8.append(QByteArray((1 << 20) - 4, 'y'));
        utf8.append("\xC3\xA9\r\nz");
        const QStringList utf8Lines = quorvane::readFileLines(fileWith(utf8)).toStringList();
        QCOMPARE(utf8Lines.size(), 2);
        QVERIFY(utf8Lines[0].endsWith(QStringLiteral("yé")));
        QCOMPARE(utf8Lines[1], QStringLiteral("z"));
    }

    void splitAtCrLf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList{QString()};
        QTest::newRow("one pair") << QStringLiteral("a\r\nb") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("trailing pair") << QStringLiteral("a\r\n") << QStringList{QStringLiteral("a"), QString()};
        QTest::newRow("two pairs in a row")
            << QStringLiteral("a\r\n\r\nb") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("lone CR and LF stay") << QStringLiteral("a\rb\nc") << QStringList{QStringLiteral("a\rb\nc")};
        QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nb")
                                  << QStringList{QStringLiteral("a\r"), QStringLiteral("b")};
    }
    void splitAtCrLf()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(quorvane::splitAtCrLf(text), lines);
    }

    void readWholeFile()
    {
        QCOMPARE(quorvane::readWholeFile(fileWith(QByteArray())), QStringLiteral("empty file"));
        QCOMPARE(quorvane::readWholeFile(fileWith("com\r\nnet\r\n")), QStringLiteral("com\r\nnet\r\n"));
        QCOMPARE(quorvane::readWholeFile(fileWith("\xEF\xBB\xBF"
                                                  "com")),
                 QStringLiteral("ï»¿com"));
        QCOMPARE(quorvane::readWholeFile(fileWith("\xFF\xFE")), QStringLiteral("ÿþ"));
        const QString missing = m_files.path(QStringLiteral("missing.lst"));
        QCOMPARE(quorvane::readWholeFile(missing), QString());
    }

    // The length is asked before the file is opened, so an empty file that cannot be opened is still an empty
    // file, while a non-empty one that cannot be opened fails.
    void readWholeFileOfAnUnreadableFile()
    {
        const QString empty = fileWith(QByteArray());
        const QString full = fileWith("com\r\n");
        QVERIFY(QFile::setPermissions(empty, QFileDevice::Permissions()));
        QVERIFY(QFile::setPermissions(full, QFileDevice::Permissions()));
        QFile probe(empty);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("Files without read permission can be opened here (the tests run as root), so the order of the "
                  "length check and the opening cannot be told apart");
        QCOMPARE(quorvane::readWholeFile(empty), QStringLiteral("empty file"));
        QVERIFY_THROWS_EXCEPTION(Failure, quorvane::readWholeFile(full));
    }

    void fileExists()
    {
        QVERIFY(!quorvane::fileExists(QString()));
        QVERIFY(!quorvane::fileExists(m_files.path(QStringLiteral("nothing-here"))));
        QVERIFY(quorvane::fileExists(fileWith(QByteArray())));
        QVERIFY(quorvane::fileExists(m_files.folder()));
    }

    void failuresNameThePathAndTheReason()
    {
        const QString missing = m_files.path(QStringLiteral("missing.col"));
        try {
            quorvane::readFileLines(missing);
            QFAIL("a missing file must fail");
        } catch (const Failure& failure) {
            QVERIFY(failure.description().contains(missing));
            QVERIFY(failure.description().contains(QStringLiteral("No such file")));
        }
        QVERIFY_THROWS_EXCEPTION(Failure, quorvane::readFileLines(m_files.folder()));
        QVERIFY_THROWS_EXCEPTION(Failure, quorvane::readWholeFile(m_files.folder()));

        if (geteuid() != 0) {
            const QString locked = fileWith("secret");
            QFile::setPermissions(locked, QFileDevice::Permissions());
            QVERIFY_THROWS_EXCEPTION(Failure, quorvane::readFileLines(locked));
            QVERIFY_THROWS_EXCEPTION(Failure, quorvane::readWholeFile(locked));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "test_textfiles.moc"
