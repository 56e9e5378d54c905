#include "Settings.h"

#include "core/Failure.h"

#include <QCoreApplication>
#include <QSettings>

#include <utility>

namespace quorvane {

namespace {

const QString groupPrefix = QStringLiteral("Quorvane/");
const QString optionKey = QStringLiteral("Option");
const QString showOriginalKey = QStringLiteral("Show ASIN");
const QString domainListKey = QStringLiteral("Zip Codes");
const QString rankResultsKey = QStringLiteral("Rank Results");
const QString likeliestSplitsKey = QStringLiteral("Likeliest Splits");
const QString bestSplitsKey = QStringLiteral("Best Splits");
const QString caseHintsKey = QStringLiteral("Case Hints");
const QString addWordsKey = QStringLiteral("Add Words");
const QString dropWordsKey = QStringLiteral("Drop Words");

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

namespace {

std::unique_ptr<QSettings> openStore(const QString& path)
{
    if (path.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnwick"),
                                           QStringLiteral("Quorvane"));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString notWritten(const QString& location)
{
    return QStringLiteral("The settings could not be written to %1").arg(location);
}

} // namespace

Settings::Settings() : m_store(openStore(QString())) {}

Settings::Settings(const QString& path) : m_store(openStore(path)), m_path(path) {}

Settings::~Settings()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_writer.joinable())
        m_writer.join();
}

QString Settings::read(const QString& key, const QString& fallback) const
{
    const auto chosen = m_chosen.constFind(key);
    if (chosen != m_chosen.constEnd())
        return *chosen;
    return m_store->value(groupPrefix + key, fallback).toString();
}

void Settings::write(const QString& key, const QString& value)
{
    // The file also holds the DomainList, tens of megabytes with a long one: rewriting it here would stall the
    // window, so a thread of its own writes it, the latest value of each key, and this thread never touches a
    // store while it does (stores of one file share a cache under one lock).
    m_chosen.insert(key, value);
    {
        std::lock_guard lock(m_mutex);
        m_pending.insert(key, value);
        if (!m_writer.joinable())
            m_writer = std::thread([this] { writeChoices(); });
    }
    m_changed.notify_all();
}

void Settings::writeChoices()
{
    const std::unique_ptr<QSettings> store = openStore(m_path);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_pending.isEmpty(); });
        if (m_pending.isEmpty())
            return;
        const QHash<QString, QString> batch = std::exchange(m_pending, {});
        m_writing = true;
        lock.unlock();
        for (auto value = batch.constBegin(); value != batch.constEnd(); ++value)
            store->setValue(groupPrefix + value.key(), value.value());
        store->sync();
        const bool failed = store->status() != QSettings::NoError;
        if (failed) {
            const QString message = notWritten(store->fileName());
            QMetaObject::invokeMethod(
                &m_receiver, [this, message] { tell(message); }, Qt::QueuedConnection);
        }
        lock.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}

void Settings::tell(const QString& message)
{
    if (m_report)
        m_report(message);
    else
        m_unreported = message;
}

void Settings::onWriteFailure(std::function<void(const QString&)> report)
{
    m_report = std::move(report);
}

void Settings::flush()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending.isEmpty() && !m_writing; });
    }
    // A failure the writer posted is told here when nobody listens for it.
    QCoreApplication::sendPostedEvents(&m_receiver);
    if (!m_unreported.isEmpty())
        throw Failure(std::exchange(m_unreported, QString()));
}

QString Settings::option() const
{
    return read(optionKey, QStringLiteral("1"));
}

void Settings::storeOption(int listNumber)
{
    write(optionKey, QString::number(listNumber));
}

QString Settings::showOriginal() const
{
    return read(showOriginalKey, QStringLiteral("1"));
}

void Settings::storeShowOriginal(bool shown)
{
    write(showOriginalKey, flag(shown));
}

QString Settings::rankResults() const
{
    return read(rankResultsKey, QStringLiteral("0"));
}

void Settings::storeRankResults(bool ranked)
{
    write(rankResultsKey, flag(ranked));
}

QString Settings::likeliestSplits() const
{
    return read(likeliestSplitsKey, QStringLiteral("0"));
}

void Settings::storeLikeliestSplits(bool likeliest)
{
    write(likeliestSplitsKey, flag(likeliest));
}

QString Settings::bestSplits() const
{
    return read(bestSplitsKey, QStringLiteral("1"));
}

void Settings::storeBestSplits(int count)
{
    write(bestSplitsKey, QString::number(count));
}

QString Settings::caseHints() const
{
    return read(caseHintsKey, QStringLiteral("1"));
}

void Settings::storeCaseHints(bool used)
{
    write(caseHintsKey, flag(used));
}

QString Settings::addWordsFile() const
{
    return read(addWordsKey, QString());
}

void Settings::storeAddWordsFile(const QString& path)
{
    write(addWordsKey, path);
}

QString Settings::dropWordsFile() const
{
    return read(dropWordsKey, QString());
}

void Settings::storeDropWordsFile(const QString& path)
{
    write(dropWordsKey, path);
}

QString Settings::domainList() const
{
    return read(domainListKey, QString());
}

void Settings::storeDomainList(const QString& joined)
{
    // Written through at once: it is stored as the window closes, after every choice, and kept whatever became
    // of those.
    bool choicesFailed = false;
    try {
        flush();
    } catch (const Failure&) {
        choicesFailed = true;
    }
    m_chosen.insert(domainListKey, joined);
    m_store->setValue(groupPrefix + domainListKey, joined);
    m_store->sync();
    if (choicesFailed || m_store->status() != QSettings::NoError)
        throw Failure(notWritten(location()));
}

QString Settings::location() const
{
    return m_store->fileName();
}

} // namespace quorvane
