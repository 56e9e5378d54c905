#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSettings;

namespace quorvane {

// The per-user settings: their keys and defaults, values kept as stored, choices written on a thread of their own.
class Settings final
{
public:
    // The user's settings store.
    Settings();
    // An INI file at `path` in place of the user's store (tests, benchmarks).
    explicit Settings(const QString& path);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // "Option": "1", "2" or "3", the chosen word list; "1" when absent.
    QString option() const;
    void storeOption(int listNumber);
    // "Show ASIN": "1" when the original name is shown in the results, else "0"; "1" when absent.
    QString showOriginal() const;
    void storeShowOriginal(bool shown);
    // "Rank Results": "1" when each name's results come most likely first, else "0"; "0" when absent.
    QString rankResults() const;
    void storeRankResults(bool ranked);
    // "Likeliest Splits": "1" when each name gets only its likeliest splits, else "0"; "0" when absent.
    QString likeliestSplits() const;
    void storeLikeliestSplits(bool likeliest);
    // "Best Splits": how many likeliest splits each name gets; "1" when absent.
    QString bestSplits() const;
    void storeBestSplits(int count);
    // "Case Hints": "1" when the likeliest splits prefer cuts at case changes, else "0"; "1" when absent.
    QString caseHints() const;
    void storeCaseHints(bool used);
    // "Add Words" and "Drop Words": the user's files of words to add to and drop from the list; empty when
    // absent.
    QString addWordsFile() const;
    void storeAddWordsFile(const QString& path);
    QString dropWordsFile() const;
    void storeDropWordsFile(const QString& path);
    // "Zip Codes": the DomainList's entries joined with ";"; empty when absent.
    QString domainList() const;
    void storeDomainList(const QString& joined);

    // Where the values live (a file path), for messages.
    QString location() const;

    // Called on this object's thread with the message when a choice could not be written; without one, the
    // next flush() throws it.
    void onWriteFailure(std::function<void(const QString&)> report);
    // Waits until every choice stored so far is on disk; throws Failure when one could not be written.
    void flush();

private:
    QString read(const QString& key, const QString& fallback) const;
    // Hands the value to the writer thread, which writes the file without holding up this thread.
    void write(const QString& key, const QString& value);
    void writeChoices();
    void tell(const QString& message);

    std::unique_ptr<QSettings> m_store;
    QString m_path;                   // the INI file, or empty for the user's store
    QHash<QString, QString> m_chosen; // values stored through this object, read back without the store
    std::function<void(const QString&)> m_report;
    QString m_unreported;
    QObject m_receiver; // runs failure reports on this object's thread

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, QString> m_pending; // guarded by m_mutex
    bool m_writing = false;            // guarded by m_mutex
    bool m_stopping = false;           // guarded by m_mutex
    std::thread m_writer;
};

} // namespace quorvane
