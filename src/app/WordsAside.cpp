#include "WordsAside.h"

#include "core/EventPump.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"

#include <QScopeGuard>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

// Keeps what a load on another thread would have shown, to be shown on the window's thread afterwards.
class KeptReports final : public Prompter
{
public:
    void message(const QString& text) override
    {
        m_reports.push_back([text](Prompter& prompter) { prompter.message(text); });
    }
    void errorReport(const QString& text) override
    {
        m_reports.push_back([text](Prompter& prompter) { prompter.errorReport(text); });
    }
    void stepFailed(const QString& description, const QString& location, int step) override
    {
        m_reports.push_back([=](Prompter& prompter) { prompter.stepFailed(description, location, step); });
    }
    // A load asks nothing.
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }

    void showTo(Prompter& prompter) const
    {
        for (const auto& report : m_reports)
            report(prompter);
    }

private:
    std::vector<std::function<void(Prompter&)>> m_reports;
};

// The thread gives way to the window's thread where both want the same processor.
void yieldToTheWindow()
{
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
}

} // namespace

LoadedWords loadWordsAside(WordListChoice choice, const UserWords& userWords, WordDatabase* database,
                           const QString& applicationFolder, Prompter& prompter, EventPump* pump)
{
    LoadedWords words{std::make_unique<WordDictionary>(), nullptr};
    KeptReports reports;
    std::atomic<bool> done = false;
    std::exception_ptr failure;
    std::thread loading([&] {
        yieldToTheWindow();
        try {
            PlainPointer pointer;
            loadWords(choice, database, applicationFolder, *words.dictionary, reports, pointer);
            applyUserWords(*words.dictionary, userWords);
            words.processor = std::make_unique<EntryProcessor>(*words.dictionary, applicationFolder);
            words.processor->prepareIndex();
        } catch (...) {
            failure = std::current_exception(); // passed on to the caller, on its thread
        }
        done.store(true, std::memory_order_release);
    });
    {
        // Whatever a yield throws, the thread's objects stay until it is done with them.
        const auto joined = qScopeGuard([&] { loading.join(); });
        while (pump && !done.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pump->yield();
        }
    }
    reports.showTo(prompter);
    if (failure)
        std::rethrow_exception(failure);
    return words;
}

WordsDisposal::~WordsDisposal()
{
    if (m_thread.joinable())
        m_thread.join();
}

void WordsDisposal::drop(LoadedWords words)
{
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([dropped = std::move(words)]() mutable {
        yieldToTheWindow();
        dropped.processor.reset(); // it reads the dictionary: it goes first
        dropped.dictionary.reset();
    });
}

} // namespace quorvane
