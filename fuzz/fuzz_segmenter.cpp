// The search against the plain recursion on short texts and a fuzzed small dictionary: the input is up to
// eight words separated by "|", then a "#", then the text. Any difference in the candidates or their order
// is a finding, and so is a cut list that is not a prefix of the full one, or a lattice of pieces whose walk
// gives other splits or that holds a piece leading nowhere.
#include "core/Failure.h"
#include "engine/NumericPieces.h"
#include "engine/PieceLattice.h"
#include "engine/Segmenter.h"
#include "engine/WordDictionary.h"
#include "text/Windows1252.h"

#include <cstdint>

using namespace quorvane;

namespace {

// Every split that the lattice holds, by recursion over its pieces.
void walkLattice(const PieceLattice& lattice, const QString& text, qsizetype place, const QString& built,
                 QStringList& out)
{
    if (place == lattice.size()) {
        out.append(built);
        return;
    }
    for (const qint32 end : lattice.endsFrom(place))
        walkLattice(lattice, text, end, built + QLatin1Char(' ') + text.mid(place, end - place), out);
}

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
    const qsizetype bound = 1 + qsizetype(size % 5);
    QStringList bounded;
    const bool boundedCut = segmenter.splitIntoWords(text, bounded, bound);
    if (bounded != expected.mid(0, bound) || boundedCut != (expected.size() > bound))
        abort();

    // The lattice of pieces holds exactly the splits, and no piece that leads nowhere.
    PieceLattice lattice;
    segmenter.findPieces(text, lattice);
    QStringList walked;
    if (text.isEmpty())
        walked.append(QString());
    else
        walkLattice(lattice, text, 0, QString(), walked);
    if (walked != expected)
        abort();
    for (qsizetype place = 0; place < text.size(); ++place) {
        for (const qint32 end : lattice.endsFrom(place)) {
            if (end != text.size() && lattice.endsFrom(end).empty())
                abort();
        }
    }
    return 0;
}
