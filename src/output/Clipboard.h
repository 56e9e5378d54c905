#pragma once

#include <QByteArray>

namespace quorvane {

// The system clipboard as the copy command sees it; each operation may be refused.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual bool clear() = 0;
    // Puts UTF-8 text on the clipboard as plain text. The clipboard keeps the bytes themselves (shared, not
    // copied): a large copy holds its text once, in half the memory of UTF-16.
    virtual bool setUtf8Text(const QByteArray& text) = 0;
};

} // namespace quorvane
