#include "EntryProcessor.h"

#include "core/Failure.h"
#include "core/ProcessorFeatures.h"
#include "text/Utf8.h"

#include <cstring>

namespace quorvane {

namespace {

const QString originalSeparator = QStringLiteral(" - ");

void buildRow(QString& row, QStringView entry, QStringView candidate, bool showOriginal)
{
    row.clear();
    if (showOriginal) {
        row += trimBlanks(entry);
        row += originalSeparator;
    }
    row += trimBlanks(candidate);
}

} // namespace

EntryProcessor::EntryProcessor(const WordDictionary& dictionary, const QString& applicationFolder)
    : m_dictionary(dictionary), m_cleaner(applicationFolder), m_segmenter(dictionary)
{
    if (!processor::portableOnly())
        m_shortAscii.emplace(dictionary);
}

EntryProcessor::EntryProcessor(const EntryProcessor& other)
    : m_dictionary(other.m_dictionary), m_cleaner(other.m_cleaner.applicationFolder(), other.m_cleaner.changeCheck()),
      m_segmenter(other.m_segmenter), m_shortAscii(other.m_shortAscii), m_scores(other.m_scores)
{}

void EntryProcessor::prepareIndex()
{
    m_segmenter.prepareIndex();
    if (m_shortAscii)
        m_shortAscii->takes(QStringView()); // builds its index
}

const WordScores& EntryProcessor::scores()
{
    // The scores find the words through the search's own index.
    if (m_scores)
        m_scores->refresh([this] { return m_segmenter.wordIndex(); });
    else
        m_scores.emplace(m_dictionary, m_segmenter.wordIndex());
    return *m_scores;
}

void EntryProcessor::prepareScores()
{
    scores();
    if (m_shortAscii)
        m_shortAscii->prepareScores(*m_scores);
}

void EntryProcessor::throwOutOfMemory(qsizetype given)
{
    throw Failure(QStringLiteral("Out of memory after %1 ranked splits: the rest of this name's splits were left out.")
                      .arg(given));
}

void EntryProcessor::buildSplitRow(qsizetype prefixLength, const qint32* ends, qsizetype pieces)
{
    m_row.truncate(prefixLength);
    const QStringView text(m_text);
    for (qsizetype k = 0; k < pieces; ++k) {
        const qint32 from = k == 0 ? 0 : ends[k - 1];
        if (k > 0)
            m_row += QLatin1Char(' ');
        m_row += text.mid(from, ends[k] - from);
    }
}

EntryProcessor::Outcome EntryProcessor::splitEntry(QStringView entry, const SplitOptions& options, bool withScores,
                                                   const SplitSink& sink)
{
    Outcome outcome;
    if (!prepareEntry(entry, options, outcome))
        return outcome;
    try {
        const QStringView text(m_text);
        outcome.cut =
            forEachSplit(text, options, withScores, [&](const qint32* ends, qsizetype pieces, qsizetype, qint64 score) {
                if (!sink(text, std::span<const qint32>(ends, static_cast<std::size_t>(pieces)), score))
                    return false;
                ++outcome.rows;
                return true;
            });
    } catch (const Failure& failure) {
        outcome.failures.append(failure.description());
    }
    return outcome;
}

bool EntryProcessor::prepareEntry(QStringView entry, const SplitOptions& options, Outcome& outcome)
{
    m_cleaner.setUrlCleaning(options.urlCleaning);
    try {
        m_cleaner.cleanForSearch(entry, m_text);
    } catch (const Failure& failure) {
        outcome.cleaned = false;
        outcome.failures.append(failure.description());
        return false;
    }
    // The row's start is the same for every candidate of the entry.
    buildRow(m_row, entry, QStringView(), options.showOriginal);
    return true;
}

namespace {

// The UTF-8 bytes of a text without surrogates, and where each unit's bytes start. Each unit is then one
// character, so the bytes of a piece are those of its units: a row's bytes are its pieces' bytes.
bool encodeUnits(QStringView text, std::vector<char>& bytes, std::vector<qint32>& offsets)
{
    const qsizetype size = text.size();
    bytes.resize(static_cast<std::size_t>(3 * size));
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

// The units the splits of a text keep, as a list of strings would: a blank before each piece, and the
// pieces, which make up the whole text. Past the bound, the splits end as cut.
struct KeptUnits
{
    qsizetype bound; // 0: none
    qsizetype textSize;
    qsizetype kept = 0;

    bool exceededBy(qsizetype pieces)
    {
        if (bound <= 0)
            return false;
        kept += pieces == 0 ? 0 : textSize + pieces;
        return kept > bound;
    }
};

void writeLine(RowOutput& output, const QByteArray& row)
{
    char* out = output.reserve(row.size() + 1);
    std::memcpy(out, row.constData(), static_cast<std::size_t>(row.size()));
    out[row.size()] = '\n';
    output.commit(out + row.size() + 1);
}

} // namespace

// A text with surrogates: a piece may end between the halves of a pair, so each row is encoded whole.
void EntryProcessor::writeRowsOfSurrogates(const SplitOptions& options, RowOutput& output, Outcome& outcome)
{
    const qsizetype prefixLength = m_row.size();
    KeptUnits kept{options.maxKeptUnits, m_text.size()};
    outcome.cut =
        forEachSplit(QStringView(m_text), options, false, [&](const qint32* ends, qsizetype pieces, qsizetype, qint64) {
            if (kept.exceededBy(pieces))
                return false;
            buildSplitRow(prefixLength, ends, pieces);
            writeLine(output, m_row.toUtf8());
            ++outcome.rows;
            return true;
        });
}

EntryProcessor::Outcome EntryProcessor::writeRows(QStringView entry, const SplitOptions& options, RowOutput& output)
{
    Outcome outcome;
    const qsizetype maxCandidates = options.maxCandidates;
    if (!prepareEntry(entry, options, outcome))
        return outcome;
    try {
        const QStringView text(m_text);
        // Short texts keep too few units to reach a bound on them.
        const bool keptUnitsBound =
            options.maxKeptUnits > 0 &&
            (maxCandidates <= 0 || maxCandidates * (2 * ShortAsciiRows::maxLength + 1) > options.maxKeptUnits);
        if (m_shortAscii && !keptUnitsBound && m_shortAscii->takes(text)) {
            const QByteArray start = m_row.toUtf8();
            if (options.order == SplitOrder::Search) {
                outcome.cut = m_shortAscii->writeRows(text, start, maxCandidates, output, outcome.rows);
                return outcome;
            }
            // Of the texts with guesses beyond the list or case hints, the fast path takes the best guess alone,
            // without case hints; the rest are left to the plain search.
            if (options.guesses.beyondList && options.best == 1 &&
                !(options.guesses.caseHints && ExtraPieces::hasCaseCuts(text))) {
                m_shortAscii->writeBestGuessRow(text, start, scores(), output);
                outcome.rows = 1;
                return outcome;
            }
            if (!ExtraPieces::applyTo(text, options.guesses)) {
                const RankedWanted ranked = rankedWanted(options);
                if (const std::optional<bool> cut = m_shortAscii->writeRankedRows(
                        text, start, scores(), ranked.wanted, ranked.isBound, output, outcome.rows)) {
                    outcome.cut = *cut;
                    return outcome;
                }
            }
        }
        if (!encodeUnits(text, m_bytes, m_byteOffsets)) {
            writeRowsOfSurrogates(options, output, outcome);
            return outcome;
        }
        // The row's start, then per piece a blank (but before the first) and the piece's bytes.
        const QByteArray start = m_row.toUtf8();
        const qsizetype size = text.size();
        m_rowBytes.resize(static_cast<std::size_t>(start.size() + m_byteOffsets.back() + size + 1)); // never empty
        m_rowLengths.resize(static_cast<std::size_t>(size + 1));
        std::memcpy(m_rowBytes.data(), start.constData(), static_cast<std::size_t>(start.size()));
        m_rowLengths[0] = start.size();
        char* const row = m_rowBytes.data();
        qsizetype* const lengths = m_rowLengths.data();
        const char* const bytes = m_bytes.data();
        const qint32* const offsets = m_byteOffsets.data();
        KeptUnits kept{options.maxKeptUnits, size};
        outcome.cut =
            forEachSplit(text, options, false, [&](const qint32* ends, qsizetype pieces, qsizetype firstNew, qint64) {
                if (kept.exceededBy(pieces))
                    return false;
                qsizetype length = lengths[firstNew];
                for (qsizetype k = firstNew; k < pieces; ++k) {
                    const qint32 from = k == 0 ? 0 : ends[k - 1];
                    if (k > 0)
                        row[length++] = ' ';
                    const qsizetype pieceBytes = offsets[ends[k]] - offsets[from];
                    std::memcpy(row + length, bytes + offsets[from], static_cast<std::size_t>(pieceBytes));
                    length += pieceBytes;
                    lengths[k + 1] = length;
                }
                char* out = output.reserve(length + 1);
                std::memcpy(out, row, static_cast<std::size_t>(length));
                out[length] = '\n';
                output.commit(out + length + 1);
                ++outcome.rows;
                return true;
            });
    } catch (const Failure& failure) {
        outcome.failures.append(failure.description());
    }
    return outcome;
}

} // namespace quorvane
