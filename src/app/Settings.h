#pragma once

#include <QString>

#include <memory>

class QSettings;

namespace quorvane {

// The per-user settings: their keys and defaults, values kept as stored.
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

private:
    QString read(const QString& key, const QString& fallback) const;
    // Writes the value through to the store; throws Failure when the store cannot be written.
    void write(const QString& key, const QString& value);

    std::unique_ptr<QSettings> m_store;
};

} // namespace quorvane
