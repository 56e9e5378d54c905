#include "Settings.h"

#include "core/Failure.h"

#include <QSettings>

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

Settings::Settings()
    : m_store(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnwick"),
                                          QStringLiteral("Quorvane")))
{}

Settings::Settings(const QString& path) : m_store(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

Settings::~Settings() = default;

QString Settings::read(const QString& key, const QString& fallback) const
{
    return m_store->value(groupPrefix + key, fallback).toString();
}

void Settings::write(const QString& key, const QString& value)
{
    m_store->setValue(groupPrefix + key, value);
    m_store->sync();
    if (m_store->status() != QSettings::NoError)
        throw Failure(QStringLiteral("The settings could not be written to %1").arg(location()));
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
    write(domainListKey, joined);
}

QString Settings::location() const
{
    return m_store->fileName();
}

} // namespace quorvane
