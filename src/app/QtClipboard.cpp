#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

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

bool QtClipboard::setUtf8Text(const QByteArray& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    // Qt takes "text/plain" bytes as UTF-8 and serves them as they are to X clients asking for UTF8_STRING or
    // text/plain, narrowed to Latin-1 for STRING and TEXT; the explicit charset is offered for programs that
    // ask for it. Both entries share the one block of bytes.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    if (platformReportsOwnership())
        return clipboard->ownsClipboard();
    const QMimeData* placed = clipboard->mimeData(QClipboard::Clipboard);
    return placed && placed->data(QStringLiteral("text/plain")) == text;
}

} // namespace quorvane
