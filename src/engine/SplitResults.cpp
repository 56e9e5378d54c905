#include "SplitResults.h"

namespace quorvane {

namespace {

constexpr std::size_t allKnown = std::size_t(-1);

} // namespace

void SplitResults::clear()
{
    m_texts.resize(0);
    m_textEnds.clear();
    m_nameSplitEnds.clear();
    m_ends.clear();
    m_splitEnds.clear();
    m_scores.clear();
    m_kinds.clear();
    m_kindsFrom.clear();
}

std::span<const PieceKind> SplitResults::kinds(qsizetype split) const
{
    const std::size_t from = m_kindsFrom[static_cast<std::size_t>(split)];
    if (from == allKnown)
        return {};
    return std::span<const PieceKind>(m_kinds).subspan(from, ends(split).size());
}

void SplitResults::begin(QStringView, QStringView text)
{
    m_texts.append(text);
    m_textEnds.push_back(m_texts.size());
    m_nameSplitEnds.push_back(static_cast<qsizetype>(m_splitEnds.size()));
}

bool SplitResults::split(const FoundSplit& found)
{
    m_ends.insert(m_ends.end(), found.ends.begin(), found.ends.end());
    m_splitEnds.push_back(m_ends.size());
    m_scores.push_back(found.score);
    if (found.kinds.empty()) {
        m_kindsFrom.push_back(allKnown);
    } else {
        m_kindsFrom.push_back(m_kinds.size());
        m_kinds.insert(m_kinds.end(), found.kinds.begin(), found.kinds.end());
    }
    ++m_nameSplitEnds.back();
    return true;
}

void SplitResults::end(const SplitOutcome&) {}

} // namespace quorvane
