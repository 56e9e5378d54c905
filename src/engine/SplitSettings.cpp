#include "SplitSettings.h"

#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <stdexcept>

namespace quorvane {

namespace {

[[noreturn]] void refuse(const QString& message)
{
    throw std::invalid_argument(message.toStdString());
}

} // namespace

WordListChoice SplitSettings::listNumber(const QString& text)
{
    if (text != QStringLiteral("1") && text != QStringLiteral("2") && text != QStringLiteral("3"))
        refuse(QStringLiteral("the word list must be 1, 2 or 3, not \"%1\"").arg(text));
    return static_cast<WordListChoice>(text.toInt());
}

qsizetype SplitSettings::count(const QString& option, const QString& text, qsizetype least, qsizetype most)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    static const QRegularExpression digits(QStringLiteral("^\\+?[0-9]+$"));
    if ((!ok || value > most) && digits.match(text).hasMatch())
        refuse(QStringLiteral("%1: %2 is too large a count (at most %3)").arg(option, text).arg(most));
    if (!ok || value < least)
        refuse(QStringLiteral("%1 needs a count of %2 or more, not \"%3\"").arg(option).arg(least).arg(text));
    return static_cast<qsizetype>(value);
}

qsizetype SplitSettings::count(const QString& option, long long value, qsizetype least)
{
    return count(option, QString::number(value), least);
}

void SplitSettings::checkWordSource() const
{
    if (listGiven && !wordsFile.isEmpty())
        refuse(QStringLiteral("a word list and a word file were both given; give only one"));
}

SplitOptions SplitSettings::splitOptions(bool showOriginal) const
{
    SplitOptions options;
    options.showOriginal = showOriginal;
    options.maxCandidates = maxSplits;
    options.order = best > 0 ? SplitOrder::Ranked : order;
    options.best = best;
    options.guesses.beyondList = best > 0 && !wordsOnly;
    options.guesses.caseHints = caseHints;
    options.urlCleaning = urlCleaning;
    return options;
}

int SplitSettings::jobCount() const
{
    return jobs > 0 ? std::min(jobs, maxJobs) : std::clamp(QThread::idealThreadCount(), 1, maxJobs);
}

} // namespace quorvane
