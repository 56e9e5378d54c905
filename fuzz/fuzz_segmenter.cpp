// The search against the plain recursion on short texts and a fuzzed small dictionary: the input is up to
// eight words separated by "|", then a "#", then the text. Any difference in the candidates or their order
// is a finding, and so is a cut list that is not a prefix of the full one, or rows written as bytes by any of
// the ways the processor has that differ from the candidates.
#include "core/Failure.h"
#include "engine/NumericPieces.h"
#include "engine/Segmenter.h"
#include "engine/WordDictionary.h"
#include "text/Windows1252.h"

#include <algorithm>
#include <cstdint>

using namespace quorvane;

namespace {

// Rows written into a growing array.
class GrowingRows final : public RowOutput
{
public:
    GrowingRows() { makeRoom(0); }
    QByteArray bytes() const { return m_bytes.left(m_end - m_begin); }

protected:
    void makeRoom(qsizetype bytes) override
    {
        const qsizetype used = m_end - m_begin;
        m_bytes.resize(std::max(2 * m_bytes.size(), used + bytes + 64));
        m_begin = m_bytes.data();
        m_end = m_begin + used;
        m_limit = m_begin + m_bytes.size();
    }

private:
    QByteArray m_bytes;
};

void plainRecursion(const QString& rest, const QString& built, const WordDictionary& dictionary, QStringList& out)
{
    if (rest.isEmpty()) {
        out.append(built);
        return;
    }
    for (qsizetype k = 1; k <= rest.size(); ++k) {
        const QString piece = rest.left(k);
        const QString key = WordDictionary::lowerCase(piece);
        if (dictionary.contains(key) || isNumeric(key))
            plainRecursion(rest.mid(k), built + QLatin1Char(' ') + piece, dictionary, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = windows1252::decode(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const qsizetype hash = input.indexOf(u'#');
    if (hash < 0)
        return 0;
    const QString text = input.mid(hash + 1);
    if (text.size() > 14)
        return 0; // the plain recursion is exponential
    WordDictionary dictionary;
    int count = 0;
    for (const QString& word : input.left(hash).split(u'|')) {
        if (word.isEmpty() || ++count > 8)
            continue;
        const QString key = WordDictionary::lowerCase(word);
        if (!dictionary.contains(key))
            dictionary.add(key);
    }

    QStringList expected;
    plainRecursion(text, QString(), dictionary, expected);

    Segmenter segmenter(dictionary);
    QStringList found;
    const bool cut = segmenter.splitIntoWords(text, found, 0);
    if (cut || found != expected)
        abort();
    // The words found by the walks one by one, where the default walks go side by side.
    Segmenter oneByOne(dictionary);
    oneByOne.allowWideWalks(false);
    QStringList foundOneByOne;
    if (oneByOne.splitIntoWords(text, foundOneByOne, 0) || foundOneByOne != expected)
        abort();

    const qsizetype bound = 1 + qsizetype(size % 5);
    QStringList bounded;
    const bool boundedCut = segmenter.splitIntoWords(text, bounded, bound);
    if (bounded != expected.mid(0, bound) || boundedCut != (expected.size() > bound))
        abort();

    if (!segmenter.takesShortAscii(text))
        return 0;
    QByteArray expectedRows;
    for (const QString& candidate : std::as_const(bounded))
        expectedRows += candidate.mid(1).toLatin1() + '\n';
    for (const auto writer :
         {Segmenter::RowWriter::Portable, Segmenter::RowWriter::WideCopies, Segmenter::RowWriter::Expansion}) {
        if (!Segmenter::supports(writer))
            continue;
        segmenter.useRowWriter(writer);
        GrowingRows rows;
        qsizetype written = 0;
        const bool rowsCut = segmenter.writeShortAsciiRows(text, QByteArrayView(), bound, rows, written);
        if (rows.bytes() != expectedRows || written != bounded.size() || rowsCut != boundedCut)
            abort();
    }
    return 0;
}
