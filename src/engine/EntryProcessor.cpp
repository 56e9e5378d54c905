#include "EntryProcessor.h"

#include "core/Failure.h"

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
    : m_cleaner(applicationFolder), m_segmenter(dictionary)
{}

QString EntryProcessor::rowText(QStringView entry, QStringView candidate, bool showOriginal)
{
    QString row;
    buildRow(row, entry, candidate, showOriginal);
    return row;
}

QStringList EntryProcessor::rowTexts(QStringView entry, const QStringList& candidates, bool showOriginal)
{
    QStringList rows;
    rows.reserve(candidates.size());
    for (const QString& candidate : candidates)
        rows.append(rowText(entry, candidate, showOriginal));
    return rows;
}

EntryProcessor::Outcome EntryProcessor::process(const QString& entry, bool showOriginal, qsizetype maxCandidates,
                                                const std::function<void(QStringView row)>& row)
{
    Outcome outcome;
    QString text;
    try {
        text = removeBlanks(clean(entry));
    } catch (const Failure& failure) {
        outcome.failures.append(failure.description());
        return outcome;
    }
    // The row's start is the same for every candidate of the entry.
    buildRow(m_row, entry, QStringView(), showOriginal);
    const qsizetype prefixLength = m_row.size();
    try {
        outcome.cut = m_segmenter.splitIntoWords(
            text,
            [&](QStringView candidate) {
                m_row.truncate(prefixLength);
                m_row += trimBlanks(candidate);
                row(m_row);
                ++outcome.rows;
                return true;
            },
            maxCandidates);
    } catch (const Failure& failure) {
        outcome.failures.append(failure.description());
    }
    return outcome;
}

} // namespace quorvane
