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
    return QStringLiteral(
               "This software uses a 200,000 word list to find splits.\r\n\r\n"
               "Every split: each way of writing a name as words and numbers of the chosen list is one row. With "
               "\"Most Likely Splits First\" each name's rows come in the order of their likelihood.\r\n"
               "Likeliest splits, best: each name gets only its likeliest split, or as many as the number beside it, "
               "best first. These may go beyond the word list: letters spelled one by one, as names spell "
               "abbreviations (\"T V Shows On D V D\"), and stretches of letters no list holds; such rows are "
               "shown in brown, and saved and copied as they read. "
               "\"Cut where the case changes\" splits a name typed in mixed case where its capitals say "
               "(\"BlueOceanTravelGuide.com\"). These rows are those of quorvane-split --best N.\r\n\r\n"
               "If you have any questions about the results you can email ") +
           supportAddress;
}

QString wordListHelpText(const QString& option1, const QString& option2, const QString& option3)
{
    return option1 + QStringLiteral(" - is a 100,000 word word-list based on an Access file.") +
           QStringLiteral("\r\n") + option2 + QStringLiteral(" - is a Google word list.") + QStringLiteral("\r\n\r\n") +
           option3 + QStringLiteral(" - is a MIT word list.") +
           QStringLiteral("\r\n\r\nAdd Words From File... - the words of a text file, one a line, join the list, "
                          "ranked with its most common words. Drop Words From File... - the words of a text file "
                          "leave the list. Both files are read again whenever a list is loaded. Forget Added/Dropped "
                          "Words - back to the list alone.");
}

} // namespace quorvane
