#pragma once

#include <QString>

namespace quorvane {

class Prompter;
class Pointer;
class WordDatabase;
class WordDictionary;

// The three word lists the user chooses between; the numbers are the ones stored under "Option".
enum class WordListChoice
{
    Database = 1, // table "words" of "dbWords.mdb"
    Google = 2,   // "google.col"
    Mit = 3,      // "mit.col"
};

// How many duplicate or unreadable words one load reports one by one. A list with thousands of them would
// otherwise hold the user in thousands of modal boxes; the rest are skipped all the same and counted in one
// last report.
constexpr int maxWordReportsPerLoad = 10;

// Fills the dictionary from the chosen list: the pointer shows busy meanwhile, the dictionary is emptied
// first, every failure (a duplicate, an unreadable word, a source that cannot be opened) is reported through
// the prompter's error report under the location of loadWords, and nothing reaches the caller. A source that
// cannot be opened or read whole is reported once and leaves the dictionary empty.
// `database` is the word database opened at start-up; it may be null when it could not be opened.
void loadWords(WordListChoice choice, WordDatabase* database, const QString& applicationFolder,
               WordDictionary& dictionary, Prompter& prompter, Pointer& pointer);

// Fills the dictionary from a word-list file of the user's choice, read like "google.col", with the same
// steps and reports as loadWords (the batch splitter's --words). `guessFolder` holds the data the best guesses
// use (the counts of words in real names "namecounts.txt", the forms written in capitals "capitals.lst"); none
// when empty.
void loadWordsFromFile(const QString& path, WordDictionary& dictionary, Prompter& prompter, Pointer& pointer,
                       const QString& guessFolder = QString());

// Fills the dictionary with the words a batch front end (quorvane-split, the Python module) was given: the
// file `wordsFile` when it is not empty, as loadWordsFromFile does, otherwise list `choice` from
// `applicationFolder`, as loadWords does with the word database opened here for list 1. A database that
// cannot be opened is reported once through the prompter's errorReport() and leaves the dictionary empty.
void loadChosenWords(WordListChoice choice, const QString& wordsFile, const QString& applicationFolder,
                     WordDictionary& dictionary, Prompter& prompter, Pointer& pointer);

} // namespace quorvane
