#pragma once

#include "output/Clipboard.h"

namespace quorvane {

// The system clipboard through QClipboard.
class QtClipboard final : public Clipboard
{
public:
    bool clear() override;
    // Refused when the program did not become the clipboard's owner (another client took it back at once).
    // The bytes are kept as they are, not copied, and handed out as they are to programs asking for UTF-8.
    bool setUtf8Text(const QByteArray& text) override;
};

} // namespace quorvane
