#include "ShellTexts.h"

#include "core/Locations.h"

#include <QLocale>

#include <algorithm>

namespace quorvane {

QString applicationTitleFor(const QString& title)
{
    constexpr qsizetype longest = 40;
    QString result = title;
    while (result.size() > longest) {
        const qsizetype blank = result.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            return result.left(longest);
        result.truncate(blank);
    }
    return result;
}

QString provisionalApplicationTitle(const QString& title)
{
    return title.left(39);
}

QString helpText()
{
    return QStringLiteral("This software uses a 200,000 word list to find splits.\r\n\r\n"
                          "If you have any questions about the results you can email ") +
           supportAddress;
}

QString wordListHelpText(const QString& option1, const QString& option2, const QString& option3)
{
    return option1 + QStringLiteral(" - is a 100,000 word word-list based on an Access file.") +
           QStringLiteral("\r\n") + option2 + QStringLiteral(" - is a Google word list.") + QStringLiteral("\r\n\r\n") +
           option3 + QStringLiteral(" - is a MIT word list.");
}

QString cutNamesMessage(const QStringList& names, const QList<qsizetype>& listed, qsizetype bound)
{
    constexpr qsizetype shown = 5;
    const QLocale english(QLocale::English);
    const QString boundText = english.toString(bound);
    // Splits of a very long name are cut sooner, by the memory they take: those names say how many they got.
    const bool allAtBound = std::all_of(listed.begin(), listed.end(), [bound](qsizetype n) { return n == bound; });
    QString text;
    if (allAtBound)
        text = names.size() == 1
                   ? QStringLiteral("1 name has more than %1 splits; only its first %1 are listed:").arg(boundText)
                   : QStringLiteral("%1 names have more than %2 splits; only the first %2 of each are listed:")
                         .arg(names.size())
                         .arg(boundText);
    else
        text = names.size() == 1
                   ? QStringLiteral("1 name has more splits than can be listed; only its first are listed:")
                   : QStringLiteral("%1 names have more splits than can be listed; only the first of each "
                                    "are listed:")
                         .arg(names.size());
    // A name of thousands of characters would stretch the box far past the screen: its start names it well
    // enough.
    constexpr qsizetype longestName = 100;
    for (qsizetype i = 0; i < std::min(shown, names.size()); ++i) {
        const QString& name = names[i];
        text += QStringLiteral("\r\n");
        text += name.size() <= longestName ? name : name.left(longestName) + QChar(0x2026);
        if (!allAtBound)
            text += QStringLiteral(" (%1 listed)").arg(english.toString(listed.value(i)));
    }
    if (names.size() > shown)
        text += QStringLiteral("\r\n...");
    return text;
}

} // namespace quorvane
