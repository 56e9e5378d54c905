#pragma once

#include "engine/UserWords.h"
#include "engine/WordLists.h"

#include <QString>

#include <memory>
#include <thread>

namespace quorvane {

class EntryProcessor;
class EventPump;
class Prompter;
class WordDatabase;
class WordDictionary;

// A word list and the search over it, made together.
struct LoadedWords
{
    std::unique_ptr<WordDictionary> dictionary;
    std::unique_ptr<EntryProcessor> processor; // on `dictionary`, its index built
};

// Loads list `choice` as loadWords does, changes it by the user's words, and builds the search index over it, on a
// thread of its own: the window's thread yields to `pump` meanwhile (with a null pump it just waits, as at start-up).
// The load's reports reach `prompter` afterwards, on the calling thread, in their order. `database` must not be used
// elsewhere meanwhile.
LoadedWords loadWordsAside(WordListChoice choice, const UserWords& userWords, WordDatabase* database,
                           const QString& applicationFolder, Prompter& prompter, EventPump* pump);

// Frees words no longer used on a thread of its own.
class WordsDisposal
{
public:
    WordsDisposal() = default;
    ~WordsDisposal(); // waits for the last words given to be freed
    WordsDisposal(const WordsDisposal&) = delete;
    WordsDisposal& operator=(const WordsDisposal&) = delete;

    void drop(LoadedWords words);

private:
    std::thread m_thread;
};

} // namespace quorvane
