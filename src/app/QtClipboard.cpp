#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quorvane {

namespace {

// On X11 and Wayland ownership says whether the text was placed, with no round trip to another client;
// the in-process clipboards of the other platforms are read back instead.
bool platformReportsOwnership()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

} // namespace

bool QtClipboard::clear()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear(QClipboard::Clipboard);
    return true;
}

bool QtClipboard::setText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text, QClipboard::Clipboard);
    if (platformReportsOwnership())
        return clipboard->ownsClipboard();
    return clipboard->text(QClipboard::Clipboard) == text;
}

} // namespace quorvane
