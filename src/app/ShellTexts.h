#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The texts of the window's shell: the product title, the application title and the two help messages.
namespace quorvane {

inline const QString productTitle = QStringLiteral("Quorvane");

// The application title made from a product title: while it is longer than 40 characters it is cut at its
// last blank. A title longer than 40 characters without a blank to cut at keeps its first 40 characters.
QString applicationTitleFor(const QString& title);

// The title used before the application title is set: the product title's first 39 characters.
QString provisionalApplicationTitle(const QString& title);

// The message of "Help".
QString helpText();

// The message of "?", built from the current captions of the three word-list options.
QString wordListHelpText(const QString& option1, const QString& option2, const QString& option3);

} // namespace quorvane
