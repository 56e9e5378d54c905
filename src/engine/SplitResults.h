#pragma once

#include "SplitReceiver.h"

#include <QString>

#include <vector>

namespace quorvane {

// The splits of several names kept as data: each name's cleaned text, each split's piece ends, score and kinds.
class SplitResults final : public SplitReceiver
{
public:
    void clear();

    qsizetype count() const { return static_cast<qsizetype>(m_textEnds.size()); }
    QStringView text(qsizetype name) const
    {
        return QStringView(m_texts).mid(textBegin(name), textEnd(name) - textBegin(name));
    }
    // Splits are numbered across the names: name k's are [firstSplit(k), endSplit(k)).
    qsizetype firstSplit(qsizetype name) const
    {
        return name == 0 ? 0 : m_nameSplitEnds[static_cast<std::size_t>(name - 1)];
    }
    qsizetype endSplit(qsizetype name) const { return m_nameSplitEnds[static_cast<std::size_t>(name)]; }
    std::span<const qint32> ends(qsizetype split) const
    {
        const std::size_t from = split == 0 ? 0 : m_splitEnds[static_cast<std::size_t>(split - 1)];
        return std::span<const qint32>(m_ends).subspan(from, m_splitEnds[static_cast<std::size_t>(split)] - from);
    }
    qint64 score(qsizetype split) const { return m_scores[static_cast<std::size_t>(split)]; }
    // Each piece's kind; empty when every piece is known (or the kinds were not asked for).
    std::span<const PieceKind> kinds(qsizetype split) const;

    void begin(QStringView name, QStringView text) override;
    bool split(const FoundSplit& found) override;
    void end(const SplitOutcome& outcome) override;

private:
    qsizetype textBegin(qsizetype name) const { return name == 0 ? 0 : m_textEnds[static_cast<std::size_t>(name - 1)]; }
    qsizetype textEnd(qsizetype name) const { return m_textEnds[static_cast<std::size_t>(name)]; }

    QString m_texts;
    std::vector<qsizetype> m_textEnds;
    std::vector<qsizetype> m_nameSplitEnds;
    std::vector<qint32> m_ends;
    std::vector<std::size_t> m_splitEnds; // where each split's ends end in m_ends
    std::vector<qint64> m_scores;
    std::vector<PieceKind> m_kinds;       // beside m_ends, from the first split with a kind on
    std::vector<std::size_t> m_kindsFrom; // per split, where its kinds start in m_kinds (-1: all known)
};

} // namespace quorvane
