#include "../engine/ReferenceSplit.h"
#include "TestFiles.h"

#include <QProcess>
#include <QtTest>

#include <sys/resource.h>

using namespace quorvane;

namespace {

using Run = testfiles::ProgramRun;

// Whether this build (and so the program's) runs under AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif
#else
constexpr bool addressSanitizer = false;
#endif

// What quorvane-split prints for an input (named as messages name it) whose second line is too long for a name.
QByteArray secondLineOverflow(const QString& input)
{
    return QStringLiteral("quorvane-split: Overflow: line 2 of \"%1\" is longer than 65536 characters, too long for a "
                          "name; the rest of \"%1\" is not read.\n")
        .arg(input)
        .toLocal8Bit();
}

} // namespace

// quorvane-split end to end: arguments, files and standard input in, rows, messages and status out.
class TestBatchSplitter : public QObject
{
    Q_OBJECT

    testfiles::TemporaryFiles m_dir; // data folder: suffix.lst and a small word list
    QString m_words;

    QString program() const { return testfiles::applicationFolder() + QStringLiteral("/quorvane-split"); }

    Run run(QStringList arguments, const QByteArray& input = QByteArray(), bool ownData = true)
    {
        if (ownData)
            arguments = QStringList{QStringLiteral("--data-dir"), m_dir.folder()} + arguments;
        return testfiles::runProgram(program(), arguments, input);
    }

private slots:
    void initTestCase()
    {
        m_dir.withBytes("com\r\nnet", QStringLiteral("suffix.lst"));
        m_words = m_dir.withBytes("car\r\npet\r\ncarpet\r\npe\r\nt\r\nblue\r\nsky\r\ncaf\xE9\r\n");
    }

    void rows_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("rows");
        QTest::newRow("every split, in order")
            << QStringList() << QByteArray("carpet.com\n") << QByteArray("car pe t\ncar pet\ncarpet\n");
        QTest::newRow("names in input order, CR LF, lone CR and lone LF")
            << QStringList() << QByteArray("BlueSky.net\r\ncarpet\rsky\n")
            << QByteArray("Blue Sky\ncar pe t\ncar pet\ncarpet\nsky\n");
        QTest::newRow("unsplittable name gives no row")
            << QStringList() << QByteArray("zzz.com\nsky\n") << QByteArray("sky\n");
        QTest::newRow("empty line, blanks only: one empty row each")
            << QStringList() << QByteArray("\n   \nsky\n") << QByteArray("\n\nsky\n");
        QTest::newRow("blanks only, nothing left by cleaning: one row each, the original empty or as typed")
            << QStringList{"-o"} << QByteArray("   \nwww..com\nsky\n") << QByteArray(" - \nwww..com - \nsky - sky\n");
        QTest::newRow("original shown, trimmed") << QStringList{"--show-original"} << QByteArray("  www.BlueSky.com \n")
                                                 << QByteArray("www.BlueSky.com - Blue Sky\n");
        QTest::newRow("short option for the original")
            << QStringList{"-o"} << QByteArray("sky\n") << QByteArray("sky - sky\n");
        QTest::newRow("Windows-1252 in, UTF-8 out")
            << QStringList{"-o", "--encoding", "windows-1252"} << QByteArray("CAF\xC9sky\n")
            << QByteArray("CAF\xC3\x89sky - CAF\xC3\x89 sky\n");
        QTest::newRow("UTF-8 in, UTF-8 out")
            << QStringList{"-o"} << QByteArray("CAF\xC3\x89sky\n") << QByteArray("CAF\xC3\x89sky - CAF\xC3\x89 sky\n");
        QTest::newRow("numbers are pieces") << QStringList() << QByteArray("4sky\n") << QByteArray("4 sky\n");
        QTest::newRow("bound cuts the list")
            << QStringList{"--max-splits", "2"} << QByteArray("carpet\n") << QByteArray("car pe t\ncar pet\n");
        QTest::newRow("bound 0 is none") << QStringList{"--max-splits=0"} << QByteArray("1234\n")
                                         << QByteArray("1 2 3 4\n1 2 34\n1 23 4\n1 234\n12 3 4\n12 34\n123 4\n1234\n");
    }
    void rows()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, rows);
        const Run result = run(QStringList{"--words", m_words} + options, input);
        QCOMPARE(result.out, rows);
        QCOMPARE(result.exitCode, 0);
        if (!options.contains(QStringLiteral("2")))
            QCOMPARE(result.err, QByteArray()); // no progress line when standard error is no terminal
    }

    // A name whose cleaned text is one word of 64 characters: its row ends with its LF, before the next name's.
    void rowOfOneWordOfSixtyFourCharacters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("rows");
        const QByteArray word = QByteArray("ab").repeated(32);
        QTest::newRow("candidate only") << QStringList() << QByteArray(word + "\nx\n");
        QTest::newRow("with the original") << QStringList{"-o"} << QByteArray(word + ".com - " + word + "\nx - x\n");
        QTest::newRow("two jobs") << QStringList{"--jobs", "2"} << QByteArray(word + "\nx\n");
        QTest::newRow("two jobs, with the original")
            << QStringList{"-o", "--jobs", "2"} << QByteArray(word + ".com - " + word + "\nx - x\n");
    }
    void rowOfOneWordOfSixtyFourCharacters()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, rows);
        const QByteArray word = QByteArray("ab").repeated(32);
        const QString words = m_dir.withBytes(word + "\r\nx\r\n");
        const Run result = run(QStringList{"--words", words} + options, word + ".com\nx\n");
        QCOMPARE(result.out, rows);
        QCOMPARE(result.exitCode, 0);
    }

    // Names at every edge of a text's length (0 to 130 characters, one piece or two meeting around 16, 32, 64
    // and 128, digit runs there and a wide character beside them): the rows of the plain recursion, with and
    // without the original, on one job and on two.
    void rowsAtTheEdgesOfLengths_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("showOriginal");
        QTest::newRow("one job") << QStringList{"--jobs", "1"} << false;
        QTest::newRow("one job, with the original") << QStringList{"--jobs", "1", "-o"} << true;
        QTest::newRow("two jobs") << QStringList{"--jobs", "2"} << false;
        QTest::newRow("two jobs, with the original") << QStringList{"--jobs", "2", "-o"} << true;
    }
    void rowsAtTheEdgesOfLengths()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, showOriginal);
        const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
        const auto cycle = [](const QString& from, qsizetype count, qsizetype offset) {
            QString text;
            for (qsizetype k = 0; k < count; ++k)
                text += from[(offset + k) % from.size()];
            return text;
        };
        const QString wide = QStringLiteral("\u00E9");
        QStringList words{QStringLiteral("x"), wide};
        QStringList texts;
        for (qsizetype length = 0; length <= 130; ++length) {
            words.append(cycle(QStringLiteral("ab"), length, 0));
            texts << cycle(QStringLiteral("ab"), length, 0)
                  << cycle(QStringLiteral("ab"), length, 0) + QStringLiteral("x") << QString(length, QLatin1Char('7'))
                  << cycle(QStringLiteral("ab"), length, 0).toUpper() + wide;
        }
        for (const qsizetype edge : {16, 32, 64, 128}) {
            for (qsizetype first = edge - 2; first <= edge + 2; ++first) {
                for (const qsizetype second : {qsizetype(1), edge - first + 1, edge - first + 2}) {
                    if (second < 1)
                        continue;
                    const QString one = cycle(letters, first, 2);
                    const QString two = cycle(letters, second, 9);
                    words << one << two;
                    texts << one + two << one + wide + two << QString(first, QLatin1Char('1')) + two
                          << one + QString(second, QLatin1Char('9')) << QString(first, QLatin1Char('2')) + wide
                          << QString(first, QLatin1Char('3')) + wide + QString(second, QLatin1Char('4'));
                }
            }
        }
        WordDictionary dictionary;
        QByteArray wordBytes;
        for (const QString& word : std::as_const(words)) {
            if (word.isEmpty() || dictionary.contains(word))
                continue;
            dictionary.add(word);
            wordBytes += word.toLatin1() + "\r\n"; // Windows-1252
        }
        constexpr qsizetype bound = 40;
        QByteArray names;
        QByteArray expected;
        for (qsizetype k = 0; k < texts.size(); ++k) {
            const QString name = texts[k] + (k % 2 == 0 ? QStringLiteral(".com") : QString());
            names += name.toUtf8() + '\n';
            QStringList candidates;
            referenceSplit(texts[k], dictionary, bound, candidates);
            for (const QString& candidate : std::as_const(candidates))
                expected +=
                    ((showOriginal ? name + QStringLiteral(" - ") : QString()) + candidate.mid(1)).toUtf8() + '\n';
        }
        const QString wordFile = m_dir.withBytes(wordBytes);
        const Run result =
            run(QStringList{"--words", wordFile, "--max-splits", QString::number(bound)} + options, names);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(expected.count('\n') > texts.size());
        QVERIFY(result.out == expected); // QCOMPARE would print the whole of both
    }

    void cutNameIsNamedOnStandardError()
    {
        const Run result = run({"--words", m_words, "--max-splits", "2"}, "carpet.com\nsky\n");
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QByteArray("car pe t\ncar pet\nsky\n"));
        QVERIFY2(result.err.startsWith("quorvane-split: \"carpet.com\""), result.err.constData());
        QCOMPARE(result.err.count('\n'), 1);
    }

    void nameTooLongToSplitIsReportedShortened()
    {
        const QByteArray longName(40000, 't');
        const Run result = run({"--words", m_words}, "sky\n" + longName + "\nt\n");
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray("sky\nt\n"));
        QVERIFY2(
            result.err.startsWith("quorvane-split: \"" + QByteArray(100, 't') + "...\" (40000 characters): Overflow"),
            result.err.left(300).constData());
        QVERIFY(result.err.size() < 400);
    }

    // A line longer than a name may be ends its input with the same overflow message whether it comes in a file or
    // through standard input; the names before it are split, and so are the inputs after it.
    void overlongLineEndsItsInput_data()
    {
        QTest::addColumn<bool>("standardInput");
        QTest::newRow("in a file") << false;
        QTest::newRow("through standard input") << true;
    }
    void overlongLineEndsItsInput()
    {
        QFETCH(bool, standardInput);
        const QByteArray names = "sky\n" + QByteArray(70000, '\0') + "\nblue\n";
        const QString after = m_dir.withBytes("t\n");
        const QString input = standardInput ? QStringLiteral("-") : m_dir.withBytes(names);
        const QString shownAs = standardInput ? QStringLiteral("standard input") : input;
        const Run result = run({"--words", m_words, input, after}, standardInput ? names : QByteArray());
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray("sky\nt\n"));
        QCOMPARE(result.err, secondLineOverflow(shownAs));
    }

    // An endless line through a pipe (as from /dev/zero) ends the run with the overflow message once the reading
    // has passed the longest name, instead of taking ever more memory: the program stops reading long before the
    // bytes run out, and within a memory limit that the whole line would break.
    void endlessLineOnStandardInputEndsTheRun()
    {
        constexpr qint64 giveUpAfter = 256 * 1024 * 1024;
        QProcess process;
        if (!addressSanitizer) { // which reserves far more address space than any such limit
            process.setChildProcessModifier([] {
                const rlimit limit{512 * 1024 * 1024, 512 * 1024 * 1024};
                ::setrlimit(RLIMIT_AS, &limit);
            });
        }
        process.start(program(), {"--data-dir", m_dir.folder(), "--words", m_words});
        QVERIFY(process.waitForStarted());
        process.write("sky\n");
        const QByteArray zeros(1024 * 1024, '\0');
        qint64 written = 0;
        while (process.state() == QProcess::Running && written < giveUpAfter) {
            process.write(zeros);
            written += zeros.size();
            while (process.bytesToWrite() > 0 && process.waitForBytesWritten(10000)) {
            }
        }
        process.closeWriteChannel();
        QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(60000));
        QVERIFY2(written < giveUpAfter, "the program went on reading the endless line");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardOutput(), QByteArray("sky\n"));
        QCOMPARE(process.readAllStandardError(), secondLineOverflow(QStringLiteral("standard input")));
    }

    // The null device reads as an empty file: no rows, no message, success.
    void nullDeviceIsAnEmptyInput()
    {
        const QString empty = m_dir.withBytes(QByteArray());
        const Run fromEmptyFile = run({"--words", m_words, empty});
        const Run fromNull = run({"--words", m_words, QStringLiteral("/dev/null")});
        QCOMPARE(fromEmptyFile.exitCode, 0);
        QCOMPARE(fromEmptyFile.out, QByteArray());
        QCOMPARE(fromEmptyFile.err, QByteArray());
        QCOMPARE(fromNull.exitCode, fromEmptyFile.exitCode);
        QCOMPARE(fromNull.out, fromEmptyFile.out);
        QCOMPARE(fromNull.err, fromEmptyFile.err);
    }

    void filesAndStandardInputInArgumentOrder()
    {
        const QString first = m_dir.withBytes("sky\r\ncarpet.net\r\n");
        const QString second = m_dir.withBytes("BlueSky");
        const Run result = run({"--words", m_words, first, "-", second}, "t\n");
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QByteArray("sky\ncar pe t\ncar pet\ncarpet\nt\nBlue Sky\n"));
    }

    void missingFileIsReportedAndTheOthersProcessed()
    {
        const QString good = m_dir.withBytes("sky\n");
        const QString missing = m_dir.path(QStringLiteral("missing.txt"));
        const Run result = run({"--words", m_words, missing, good, m_dir.folder()});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray("sky\n"));
        const QList<QByteArray> lines = result.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("quorvane-split: "));
        QVERIFY(lines[0].contains(missing.toLocal8Bit()));
        QVERIFY(lines[0].contains("No such file or directory"));
        QVERIFY(lines[1].contains(m_dir.folder().toLocal8Bit()) && lines[1].contains("folder"));
    }

    void wordListProblemsPrintedOneLineEach()
    {
        const QString duplicates = m_dir.withBytes("sky\r\nSky\r\nblue\r\n");
        const Run result = run({"--words", duplicates}, "BlueSky\n");
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray("Blue Sky\n")); // the words that loaded are used
        // One line per report: the failure and where it happened, without the window's request for a screenshot.
        QCOMPARE(result.err, QByteArray("quorvane-split: The word \"sky\" is already in the word list. (in "
                                        "Velmodra2021/08/31.modSplitIntoWords.loadWords at line 130)\n"));

        const Run noList = run({"--list", "2"}, "sky\n"); // the data folder has no google.col
        QCOMPARE(noList.exitCode, 1);
        QVERIFY2(noList.err.contains("google.col"), noList.err.constData());
        QVERIFY2(!noList.err.contains("screenshot"), noList.err.constData());
    }

    void shippedWordDatabaseIsTheDefault()
    {
        const Run result = run({}, "www.BlueSkyGardens.com\n", false);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.split('\n').contains("Blue Sky Gardens"), result.out.constData());
    }

    // Several jobs split batches of names side by side: the rows and the messages come in input order, the
    // same as with one job, across many batches, files that fail between good ones, names cut by the bound,
    // names that fail, and a name whose rows alone outgrow what a job keeps before its turn.
    void jobsGiveTheSameOutputAsOne_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("two jobs") << 2;
        QTest::newRow("five jobs") << 5;
        QTest::newRow("0: one per processor, as in the module") << 0;
    }
    void jobsGiveTheSameOutputAsOne()
    {
        QFETCH(int, jobs);
        QByteArray many;
        for (int k = 0; k < 5000; ++k) {
            many += QByteArray::number(k) + (k % 3 ? "carpet.com\n" : "BlueSky\r\n");
            if (k % 997 == 0)
                many += QByteArray(40000, 't') + "\n"; // too long to split: reported
        }
        const QString first = m_dir.withBytes(many);
        // 2^20 rows of about 30 bytes: more than a job keeps before its turn. A file that fails ends a batch,
        // so the two such names are in batches side by side, split at the same time.
        const QString sevens = m_dir.withBytes("sky\n" + QByteArray(21, '7') + "\n");
        const QString eights = m_dir.withBytes(QByteArray(21, '8') + "\ncarpet\n");
        const QString missing = m_dir.path(QStringLiteral("absent.txt"));
        const QStringList arguments{"--words", m_words, "--max-splits", "0", first, missing,
                                    sevens,    missing, eights,         "-", first};
        const QByteArray input = "carpet\nsky\n";
        const Run one = run(QStringList{"--jobs", "1"} + arguments, input);
        const Run several = run(QStringList{"--jobs", QString::number(jobs)} + arguments, input);
        QCOMPARE(one.exitCode, 1);
        QCOMPARE(several.exitCode, 1);
        QVERIFY(one.out.size() > 60 * 1024 * 1024);
        QVERIFY(one.out.startsWith("0 Blue Sky\n1 car pe t\n"));
        QVERIFY(one.out == several.out); // QCOMPARE would print megabytes
        QCOMPARE(several.err, one.err);
        const QList<QByteArray> messages = one.err.trimmed().split('\n');
        QCOMPARE(messages.size(), 2 * 6 + 2); // the long names of both readings, the missing file twice
        QVERIFY2(messages[6].contains(missing.toLocal8Bit()), messages[6].constData());
    }

    // A failed output ends the run whatever the number of jobs, and is reported once.
    void failedOutputEndsTheRun()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("This system has no /dev/full.");
        QByteArray many;
        for (int k = 0; k < 20000; ++k)
            many += "carpet.com\n";
        const QString names = m_dir.withBytes(many);
        for (const char* jobs : {"1", "3"}) {
            QProcess process;
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
            process.start(program(), {"--data-dir", m_dir.folder(), "--words", m_words, "--jobs", jobs, names});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 1);
            const QByteArray err = process.readAllStandardError();
            QCOMPARE(err.count("Cannot write to standard output"), 1);
        }
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("help") << QStringList{"--help"} << 0;
        QTest::newRow("short help") << QStringList{"-h"} << 0;
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2;
        QTest::newRow("list out of range") << QStringList{"--list", "4"} << 2;
        QTest::newRow("list not a number") << QStringList{"-l", "two"} << 2;
        QTest::newRow("missing value") << QStringList{"--max-splits"} << 2;
        QTest::newRow("negative bound") << QStringList{"--max-splits", "-1"} << 2;
        QTest::newRow("list and words together") << QStringList{"--list", "2", "--words", "x"} << 2;
        QTest::newRow("negative jobs") << QStringList{"--jobs", "-1"} << 2;
        QTest::newRow("jobs not a number") << QStringList{"-j", "many"} << 2;
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Run result = run(arguments, "sky\n");
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY(result.out.startsWith("Usage: quorvane-split [options] [FILE...]"));
            QVERIFY(result.out.contains("--max-splits N"));
        } else {
            QVERIFY(result.out.isEmpty());
            QVERIFY(result.err.startsWith("quorvane-split: "));
            QVERIFY(result.err.contains("--help"));
        }
    }
};

QTEST_GUILESS_MAIN(TestBatchSplitter)
#include "test_batchsplitter.moc"
