#pragma once

#include <QString>

// The location texts that the error report names, one per trapped procedure, and the support address.
namespace quorvane::location {

inline const QString formLoad = QStringLiteral("in Velmodra2021/08/31.Form1.Form_Load ");
inline const QString formQueryUnload = QStringLiteral("in Velmodra2021/08/31.Form1.Form_QueryUnload ");
inline const QString helpClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton8_Click ");
inline const QString wordListHelpClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton10_Click ");
inline const QString addDomainClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton6_Click ");
inline const QString loadDomainsClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton3_Click ");
inline const QString clearListClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton1_Click ");
inline const QString samplesClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton7_Click ");
inline const QString startSplittingClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton9_Click ");
inline const QString saveTextClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton4_Click ");
inline const QString saveSpreadsheetClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton13_Click ");
inline const QString copyClipboardClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton5_Click ");
inline const QString clearResultsClick = QStringLiteral("in Velmodra2021/08/31.Form1.PushButton2_Click ");
inline const QString saveListviewProperlySpaced =
    QStringLiteral("in Velmodra2021/08/31.Main.SaveListviewProperlySpaced ");
inline const QString loadWords = QStringLiteral("in Velmodra2021/08/31.modSplitIntoWords.loadWords ");

} // namespace quorvane::location

namespace quorvane {

// Where users are asked to send screenshots of error reports and questions about results.
inline const QString supportAddress = QStringLiteral("support@quorvane.example");

} // namespace quorvane
