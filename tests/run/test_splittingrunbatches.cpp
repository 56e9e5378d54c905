// How a splitting run cuts its names into batches, and how soon a stop takes effect.
#include "TestFiles.h"
#include "engine/WordDictionary.h"
#include "run/SplittingRun.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {

// `total` names "carpet", handed out as asked.
class Names final : public NameSource
{
public:
    explicit Names(qsizetype total) : m_left(total) {}
    void read(SplitBatch& batch, qsizetype most) override
    {
        for (; most > 0 && m_left > 0; --most, --m_left) {
            batch.names += QStringLiteral("carpet");
            batch.nameEnds.push_back(batch.names.size());
        }
    }

private:
    qsizetype m_left;
};

// Keeps each batch's number of names split (the last batch comes empty); stops the run at the batch given.
class Sizes final : public BatchSink
{
public:
    Sizes(SplittingRun*& run, qsizetype stopAt) : m_run(run), m_stopAt(stopAt) {}
    bool take(std::unique_ptr<SplitBatch>& batch) override
    {
        split.append(batch->count());
        if (split.size() == m_stopAt)
            m_run->stop();
        return true;
    }
    QList<qsizetype> split;

private:
    SplittingRun*& m_run;
    qsizetype m_stopAt;
};

} // namespace

class TestSplittingRunBatches : public QObject
{
    Q_OBJECT

private slots:
    void batchesGrowFromOneName_data()
    {
        QTest::addColumn<qsizetype>("names");
        QTest::addColumn<qsizetype>("stopAt");
        QTest::addColumn<QList<qsizetype>>("split");
        QTest::newRow("growing to the batch size")
            << qsizetype(40) << qsizetype(0) << QList<qsizetype>{1, 2, 4, 8, 8, 8, 8, 1, 0};
        QTest::newRow("fewer names than the first batches")
            << qsizetype(5) << qsizetype(0) << QList<qsizetype>{1, 2, 2, 0};
        QTest::newRow("stopped: no batch after") << qsizetype(40) << qsizetype(2) << QList<qsizetype>{1, 2};
    }
    void batchesGrowFromOneName()
    {
        QFETCH(qsizetype, names);
        QFETCH(qsizetype, stopAt);
        QFETCH(QList<qsizetype>, split);
        QTemporaryDir folder;
        testfiles::writeBytes(folder.filePath("suffix.lst"), "com\r\n");
        WordDictionary dictionary;
        for (const char* word : {"car", "pet", "carpet"})
            dictionary.add(QString::fromLatin1(word));
        EntryProcessor processor(dictionary, folder.path());
        SplittingRun::Settings settings;
        settings.batchNames = 8;
        SplittingRun run(processor, settings);
        SplittingRun* running = &run;
        Names source(names);
        Sizes sink(running, stopAt);
        run.run(source, sink);
        QCOMPARE(sink.split, split);
    }
};

QTEST_GUILESS_MAIN(TestSplittingRunBatches)
#include "test_splittingrunbatches.moc"
