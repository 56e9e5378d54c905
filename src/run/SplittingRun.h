#pragma once

#include "RowFormat.h"
#include "RowOutput.h"
#include "engine/EntryProcessor.h"
#include "engine/SplitResults.h"
#include "input/DomainFileReader.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace quorvane {

// The rows of one batch as UTF-8 bytes, one row a line.
class BatchRows final : public RowOutput
{
public:
    void setWriteEarly(std::function<void()> writeEarly) { m_writeEarly = std::move(writeEarly); }

    const char* data() const { return m_begin; }
    qsizetype size() const { return m_end - m_begin; }
    void clear() { m_end = m_begin; }

protected:
    void makeRoom(qsizetype bytes) override;

private:
    std::function<void()> m_writeEarly;
    std::unique_ptr<char[]> m_buffer;
};

// What became of one name of a batch, and where its rows end in the batch's bytes (they begin where the name
// before ends them).
struct NameOutcome : SplitOutcome
{
    qsizetype rowsEnd = 0;
};

// A batch of split names: the names, their rows (or their splits as data) and what became of each.
struct SplitBatch
{
    qint64 number = 0;
    qint64 firstName = 0; // the run's count of names before this batch's
    QString names;        // the names one after the other, in one string, so that they stay together in the cache
    std::vector<qsizetype> nameEnds;
    std::vector<NameOutcome> outcomes;
    std::unique_ptr<BatchRows> rows = std::make_unique<BatchRows>();
    SplitResults results; // for a sink that takes results: the splits of every name, as data
    QString problem; // the failures of a source (a file that could not be read), after the batch's names, one a line

    qsizetype count() const { return static_cast<qsizetype>(outcomes.size()); }
    QStringView name(qsizetype k) const
    {
        const qsizetype start = k == 0 ? 0 : nameEnds[static_cast<std::size_t>(k - 1)];
        return QStringView(names).mid(start, nameEnds[static_cast<std::size_t>(k)] - start);
    }
    // The bytes of name k's rows.
    qsizetype rowsBegin(qsizetype k) const { return k == 0 ? 0 : outcomes[static_cast<std::size_t>(k - 1)].rowsEnd; }
};

// Where a run's names come from: files, a stream, or the window's list.
class NameSource
{
public:
    virtual ~NameSource() = default;
    // Appends up to `most` names to the batch's names and nameEnds (emptied by the caller). A source that
    // fails ends the batch with its description in the batch's problem; the names read before stay, and the
    // next call goes on after the failure. Called by one job at a time, in the batches' order.
    virtual void read(SplitBatch& batch, qsizetype most) = 0;
};

// Where a run's rows go, batch by batch, in the order of the names.
class BatchSink
{
public:
    virtual ~BatchSink() = default;
    // Takes one batch, in its turn, on the job whose turn it is (never two at once). The sink may keep the
    // batch by moving it out; otherwise the run uses its buffers again. False stops the run.
    virtual bool take(std::unique_ptr<SplitBatch>& batch) = 0;
    // Whether the sink takes each name's splits as data (the batch's results) rather than rows.
    virtual bool takesResults() const { return false; }
    // Whether the rows of a batch grown past what a job keeps are handed over early, in parts, through
    // takeEarly(); otherwise the batch keeps them all.
    virtual bool takesEarly() const { return false; }
    // Rows of a batch that is not finished, in its turn; the batch's outcomes come later with take().
    virtual void takeEarly(const char* /*bytes*/, qsizetype /*size*/) {}
};

// One splitting run over many names, in batches on several jobs, in order.
class SplittingRun final
{
public:
    struct Settings
    {
        SplitOptions split;
        RowFormat format;
        int jobs = 1;
        qsizetype batchNames = 1024; // names per batch, once the first batches (1, 2, 4 … names) are done
        // The jobs give way to the other threads of the process (the window's), which then answers at once
        // however busy they are.
        bool givesWay = false;
        // A sink of results is told each piece's kind, when pieces beyond the list may be found.
        bool kinds = false;
    };

    // `processor` is the first job's and the prototype of the others' (its search index is shared, not built
    // again); it must outlive the run.
    SplittingRun(EntryProcessor& processor, const Settings& settings);

    // Splits every name of the source and hands the batches to the sink. Returns when the source is empty,
    // the sink refused a batch, or stop() was called.
    void run(NameSource& source, BatchSink& sink);

    // Ends the run at the next batch: no batch is taken from then on. Safe from any thread.
    void stop() { m_stopping = true; }
    bool stopping() const { return m_stopping.load(); }

private:
    EntryProcessor& m_processor;
    Settings m_settings;
    std::atomic<bool> m_stopping{false};
};

// The names of files, one file after another; "-" reads standard input. Lines skipped as unreadable in the
// encoding are reported in the batch's problem, one line each, and the reading goes on.
class FileNameSource final : public NameSource
{
public:
    explicit FileNameSource(const QStringList& files, NameEncoding encoding = NameEncoding::Windows1252);
    ~FileNameSource() override;
    void read(SplitBatch& batch, qsizetype most) override;
    // The bytes read from the files so far, as of the last batch read (any thread may ask).
    qint64 bytesRead() const { return m_bytesRead.load(std::memory_order_relaxed); }

private:
    struct Private;
    std::unique_ptr<Private> d;
    std::atomic<qint64> m_bytesRead = 0;
};

} // namespace quorvane
