#include "TestFiles.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace quorvane;

namespace {

// A device that hands out its bytes and then fails, as a disk error would.
class FailingDevice final : public QIODevice
{
public:
    explicit FailingDevice(QByteArray bytes) : m_bytes(std::move(bytes)) { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_given == m_bytes.size()) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = std::min<qint64>(maxSize, m_bytes.size() - m_given);
        std::memcpy(data, m_bytes.constData() + m_given, n);
        m_given += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_given = 0;
};

QStringList readAll(DomainFileReader& reader)
{
    QStringList names;
    QString name;
    while (reader.readName(name))
        names.append(name);
    return names;
}

} // namespace

class TestDomainFileReader : public QObject
{
    Q_OBJECT

    testfiles::TemporaryFiles m_files;

    QString fileWith(const QByteArray& bytes) { return m_files.withBytes(bytes); }

private slots:
    void names_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        const QString a = QStringLiteral("a.com");
        const QString b = QStringLiteral("b.net");
        const QString c = QStringLiteral("c.org");
        QTest::newRow("empty file has no names") << QByteArray() << QStringList();
        QTest::newRow("three names ended by CR LF")
            << QByteArray("a.com\r\nb.net\r\nc.org\r\n") << QStringList{a, b, c};
        QTest::newRow("last name without terminator") << QByteArray("a.com\r\nb.net") << QStringList{a, b};
        QTest::newRow("lone LF ends a name, final LF adds nothing")
            << QByteArray("a.com\nb.net\nc.org\n") << QStringList{a, b, c};
        QTest::newRow("lone CR ends a name") << QByteArray("a.com\rb.net\rc.org") << QStringList{a, b, c};
        QTest::newRow("final lone CR adds nothing") << QByteArray("a.com\r") << QStringList{a};
        QTest::newRow("mixed terminators") << QByteArray("a.com\rb.net\nc.org\r\n") << QStringList{a, b, c};
        QTest::newRow("empty line between names is an empty name")
            << QByteArray("a.com\r\n\r\nb.net\r\n") << QStringList{a, QString(), b};
        QTest::newRow("LF then CR gives an empty name") << QByteArray("a.com\n\rb.net") << QStringList{a, QString(), b};
        QTest::newRow("CR CR LF gives an empty name") << QByteArray("a.com\r\r\nb.net") << QStringList{a, QString(), b};
        QTest::newRow("two final LFs give one empty name") << QByteArray("a.com\n\n") << QStringList{a, QString()};
        QTest::newRow("a lone terminator is one empty name") << QByteArray("\r\n") << QStringList{QString()};
        QTest::newRow("blanks and commas are kept")
            << QByteArray("  a.com , b.net \r\n") << QStringList{QStringLiteral("  a.com , b.net ")};
        QTest::newRow("byte-order mark bytes are characters") << QByteArray("\xEF\xBB\xBF"
                                                                            "a.com\r\n")
                                                              << QStringList{QStringLiteral("\u00EF\u00BB\u00BFa.com")};
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("caf\xE9.com\r\n\x80uro.de")
            << QStringList{QStringLiteral("caf\u00E9.com"), QStringLiteral("\u20ACuro.de")};
        QTest::newRow("NUL bytes stay in the name")
            << QByteArray("a\0b\r\n", 5) << QStringList{QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b")};
    }
    void names()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        const QString path = fileWith(bytes);
        QCOMPARE(DomainFileReader::readAllNames(path), names);
        // Chunk boundaries anywhere, also between CR and LF, must not change the names.
        for (const qsizetype chunk : {1, 2, 3, 5}) {
            DomainFileReader reader(path, chunk);
            QCOMPARE(readAll(reader), names);
        }
        // Appended one after the other to what a string holds, each name begins where the one before ends.
        for (const qsizetype chunk : {qsizetype(1), qsizetype(3), DomainFileReader::defaultChunkBytes}) {
            DomainFileReader reader(path, chunk);
            QString text = QStringLiteral("kept");
            QStringList appended;
            for (qsizetype start = text.size(); reader.appendName(text); start = text.size())
                appended.append(text.mid(start));
            QCOMPARE(appended, names);
            QVERIFY(text.startsWith(QStringLiteral("kept")));
        }
    }

    // A name over many chunks is read whole up to the longest a name may be; one character more ends the reading
    // with an overflow naming the line, whether the bytes come from a file or from an open device (standard input).
    void longNamesOverManyChunks_data()
    {
        QTest::addColumn<bool>("fromDevice");
        QTest::addColumn<qsizetype>("length");
        const qsizetype longest = DomainFileReader::maxNameLength;
        QTest::newRow("file, longest name") << false << longest;
        QTest::newRow("file, one character more") << false << longest + 1;
        QTest::newRow("device, longest name") << true << longest;
        QTest::newRow("device, one character more") << true << longest + 1;
    }
    void longNamesOverManyChunks()
    {
        QFETCH(bool, fromDevice);
        QFETCH(qsizetype, length);
        QByteArray bytes = "a.com\r" + QByteArray(length, 'x') + "\r\nb.net";
        const QString path = fileWith(bytes);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        std::unique_ptr<DomainFileReader> reader =
            fromDevice ? std::make_unique<DomainFileReader>(buffer, QStringLiteral("standard input"), 7)
                       : std::make_unique<DomainFileReader>(path, 7);
        const QString shownAs = fromDevice ? QStringLiteral("standard input") : path;
        QString text = QStringLiteral("kept");
        QStringList names;
        QString problem;
        try {
            for (qsizetype start = text.size(); reader->appendName(text); start = text.size())
                names.append(text.mid(start));
        } catch (const Failure& failure) {
            problem = failure.description();
        }
        if (length <= DomainFileReader::maxNameLength) {
            QCOMPARE(problem, QString());
            QCOMPARE(names.size(), 3);
            QCOMPARE(names[1], QString(length, QLatin1Char('x')));
            QCOMPARE(names[2], QStringLiteral("b.net"));
            return;
        }
        QCOMPARE(names, QStringList{QStringLiteral("a.com")});
        QCOMPARE(problem, QStringLiteral("Overflow: line 2 of \"%1\" is longer than 65536 characters, too long for a "
                                         "name; the rest of \"%1\" is not read.")
                              .arg(shownAs));
        QCOMPARE(text, QStringLiteral("kepta.com")); // the refused line left nothing behind
        QVERIFY(!reader->appendName(text));          // and the reading has ended
        QCOMPARE(text, QStringLiteral("kepta.com"));
    }

    void streamingCallbackSeesEveryNameInOrder()
    {
        const QString path = fileWith("one\r\ntwo\nthree\rfour");
        QStringList seen;
        DomainFileReader::forEachName(path, [&](const QString& name) { seen.append(name); });
        QCOMPARE(seen, (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                                    QStringLiteral("four")}));
    }

    void readsAnOpenDevice()
    {
        QByteArray bytes("x.com\ny.com\n");
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        DomainFileReader reader(buffer, QStringLiteral("standard input"), 4);
        QCOMPARE(readAll(reader), (QStringList{QStringLiteral("x.com"), QStringLiteral("y.com")}));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << QStringLiteral("missing") << QStringLiteral("No such file or directory");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("folder");
        QTest::newRow("endless device") << QStringLiteral("device") << QStringLiteral("it is a device");
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path =
            m_files.path(kind == QLatin1String("folder") ? QStringLiteral("sub") : QStringLiteral("missing.txt"));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir(m_files.folder()).mkpath(QStringLiteral("sub")));
        if (kind == QLatin1String("device"))
            path = QStringLiteral("/dev/zero");
        try {
            DomainFileReader reader(path);
            QFAIL("opening did not fail");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(path), qPrintable(failure.description()));
            QVERIFY2(failure.description().contains(reason), qPrintable(failure.description()));
        }
    }

    // The null device is a device, but one that ends at once: it reads as an empty file.
    void nullDeviceHasNoNames()
    {
        QCOMPARE(DomainFileReader::readAllNames(QStringLiteral("/dev/null")), QStringList());
    }

    void readErrorAfterSomeNames()
    {
        FailingDevice device("a.com\r\nb.n");
        DomainFileReader reader(device, QStringLiteral("names.txt"), 4);
        QString name;
        QVERIFY(reader.readName(name));
        QCOMPARE(name, QStringLiteral("a.com"));
        try {
            reader.readName(name);
            QFAIL("the read error was not reported");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(QStringLiteral("names.txt")), qPrintable(failure.description()));
            QVERIFY2(failure.description().contains(QStringLiteral("Input/output error")),
                     qPrintable(failure.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDomainFileReader)
#include "test_domainfilereader.moc"
