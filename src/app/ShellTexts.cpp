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

} // namespace quorvane
