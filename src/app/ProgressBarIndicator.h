#pragma once

#include "core/ProgressIndicator.h"

#include <QPointer>
#include <QProgressBar>

namespace quorvane {

// The window's progress bar seen as a ProgressIndicator: the value is rounded to a whole percentage and the
// caption text is shown on the bar.
class ProgressBarIndicator final : public ProgressIndicator
{
public:
    explicit ProgressBarIndicator(QProgressBar& bar) : m_bar(&bar) {}

    void setValue(double percent) override;
    void setText(const QString& text) override;

private:
    QPointer<QProgressBar> m_bar;
};

} // namespace quorvane
