#pragma once

#include <QString>

namespace quorvane {

// A progress bar seen as a value from 0 to 100 and a caption.
class ProgressIndicator
{
public:
    virtual ~ProgressIndicator() = default;
    virtual void setValue(double percent) = 0;
    virtual void setText(const QString& text) = 0;
};

} // namespace quorvane
