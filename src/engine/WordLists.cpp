#include "WordLists.h"

#include "WordDatabase.h"
#include "WordDictionary.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Locations.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "text/TextFiles.h"

#include <QFileInfo>

#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

namespace {

// The steps of loadWords, numbered in the order they stand in the procedure. The steps that cannot fail
// (the loop heads over rows and lines, moving to the next row, closing the table) keep their numbers
// (108, 114, 116, 126, 132) but need no trap.
namespace step {
constexpr int busyPointer = 100;
constexpr int clearDictionary = 102;
constexpr int isDatabaseList = 104;
constexpr int openWordsTable = 106;
constexpr int takeRowWord = 110;
constexpr int addRowWord = 112;
constexpr int isGoogleList = 118;
constexpr int readGoogleList = 120;
constexpr int isMitList = 122;
constexpr int readMitList = 124;
constexpr int lineNotEmpty = 128;
constexpr int addLine = 130;
constexpr int defaultPointer = 134;
} // namespace step

// Adds words under the trap, one report per duplicate or unreadable word up to maxWordReportsPerLoad; the
// rest are skipped and counted for one closing report.
class WordAdder
{
public:
    WordAdder(WordDictionary& dictionary, ErrorTrap& trap) : m_dictionary(dictionary), m_trap(trap) {}

    void add(int number, const QString& lowerWord)
    {
        if (reportsLeft()) {
            if (!m_trap.step(number, [&] { m_dictionary.add(lowerWord); }))
                ++m_reported;
        } else if (m_dictionary.contains(lowerWord)) {
            ++m_skipped;
        } else {
            m_trap.step(number, [&] { m_dictionary.add(lowerWord); });
        }
    }

    void unreadable(int number, const QString& description)
    {
        if (reportsLeft()) {
            m_trap.step(number, [&] { throw Failure(description); });
            ++m_reported;
        } else {
            ++m_skipped;
        }
    }

    // The closing report of what was skipped without a report of its own.
    void reportSkipped(int number)
    {
        if (m_skipped == 0)
            return;
        m_trap.step(number, [&] {
            throw Failure(QStringLiteral("%1 more words were skipped because they were already in the word list "
                                         "or could not be read. Only the first %2 were reported one by one.")
                              .arg(m_skipped)
                              .arg(maxWordReportsPerLoad));
        });
    }

private:
    bool reportsLeft() const { return m_reported < maxWordReportsPerLoad; }

    WordDictionary& m_dictionary;
    ErrorTrap& m_trap;
    int m_reported = 0;
    qint64 m_skipped = 0;
};

// The lines of "unlisted.lst", the words no spelling list holds, or of "namecounts.txt" or "capitals.lst". Each
// file only
// sharpens the ranking of splits: without it (or when it cannot be read) every word counts as listed, never
// seen in a name, or never written in capitals, and nothing is reported.
TextBlock readRankingLines(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    try {
        return readFileLines(path);
    } catch (const std::exception&) { // unreadable, or too large to hold: the ranking goes without it
        return {};
    }
}

// loadWords with the paths of the word-list files given; `unlistedPath` is empty for a list of the user's own,
// `guessFolder` holds the data of the best guesses ("namecounts.txt", "capitals.lst"; none when empty).
void loadWordsFrom(WordListChoice choice, WordDatabase* database, const QString& googlePath, const QString& mitPath,
                   const QString& unlistedPath, const QString& guessFolder, WordDictionary& dictionary,
                   Prompter& prompter, Pointer& pointer)
{
    ErrorTrap trap(location::loadWords, prompter);
    WordAdder adder(dictionary, trap);

    trap.step(step::busyPointer, [&] { pointer.setShape(PointerShape::Busy); });
    trap.step(step::clearDictionary, [&] {
        dictionary.clear();
        dictionary.setOrigin(unlistedPath.isEmpty() ? WordDictionary::Origin::UserList
                                                    : WordDictionary::Origin::ShippedList);
        dictionary.setUnlistedWords(readRankingLines(unlistedPath));
        if (!guessFolder.isEmpty()) {
            dictionary.setNameCounts(readRankingLines(guessFolder + QStringLiteral("/namecounts.txt")));
            dictionary.setCapitals(readRankingLines(guessFolder + QStringLiteral("/capitals.lst")));
        }
    });

    TextBlock lines;
    int lastAddStep = step::addLine;
    if (trap.test(step::isDatabaseList, [&] { return choice == WordListChoice::Database; })) {
        lastAddStep = step::addRowWord;
        std::vector<std::optional<QString>> rows;
        // The whole table is read and checked before any word is added, so a damaged table adds nothing.
        trap.step(step::openWordsTable, [&] {
            if (!database)
                throw Failure(QStringLiteral("The word database is not open."));
            rows = database->readWords();
        });
        dictionary.reserve(qsizetype(rows.size()));
        qint64 rowNumber = 0;
        // Each row's word is moved into the dictionary: freeing the rows then touches no word again.
        for (std::optional<QString>& row : rows) {
            ++rowNumber;
            if (row)
                adder.add(step::addRowWord, WordDictionary::lowerCase(std::move(*row)));
            else
                adder.unreadable(
                    step::takeRowWord,
                    QStringLiteral("Row %1 of table \"words\" has no word (its third field is Null).").arg(rowNumber));
        }
    } else if (trap.test(step::isGoogleList, [&] { return choice == WordListChoice::Google; })) {
        trap.step(step::readGoogleList, [&] { lines = readFileLines(googlePath); });
    } else if (trap.test(step::isMitList, [&] { return choice == WordListChoice::Mit; })) {
        trap.step(step::readMitList, [&] { lines = readFileLines(mitPath); });
    }

    // A list that could not be read leaves no lines: nothing more is reported.
    dictionary.reserve(lines.count());
    for (const QString& line : lines) {
        if (trap.test(step::lineNotEmpty, [&] { return !line.isEmpty(); }))
            adder.add(step::addLine, WordDictionary::lowerCase(line));
    }

    adder.reportSkipped(lastAddStep);
    trap.step(step::defaultPointer, [&] { pointer.setShape(PointerShape::Default); });
}

} // namespace

void loadWords(WordListChoice choice, WordDatabase* database, const QString& applicationFolder,
               WordDictionary& dictionary, Prompter& prompter, Pointer& pointer)
{
    loadWordsFrom(choice, database, applicationFolder + QStringLiteral("/google.col"),
                  applicationFolder + QStringLiteral("/mit.col"), applicationFolder + QStringLiteral("/unlisted.lst"),
                  applicationFolder, dictionary, prompter, pointer);
}

void loadWordsFromFile(const QString& path, WordDictionary& dictionary, Prompter& prompter, Pointer& pointer,
                       const QString& guessFolder)
{
    loadWordsFrom(WordListChoice::Google, nullptr, path, QString(), QString(), guessFolder, dictionary, prompter,
                  pointer);
}

void loadChosenWords(WordListChoice choice, const QString& wordsFile, const QString& applicationFolder,
                     WordDictionary& dictionary, Prompter& prompter, Pointer& pointer)
{
    if (!wordsFile.isEmpty()) {
        loadWordsFromFile(wordsFile, dictionary, prompter, pointer, applicationFolder);
        return;
    }
    std::unique_ptr<WordDatabase> database;
    if (choice == WordListChoice::Database) {
        try {
            database = std::make_unique<WordDatabase>(applicationFolder + QStringLiteral("/dbWords.mdb"));
        } catch (const Failure& failure) {
            prompter.errorReport(failure.description());
            return;
        }
    }
    loadWords(choice, database.get(), applicationFolder, dictionary, prompter, pointer);
}

} // namespace quorvane
