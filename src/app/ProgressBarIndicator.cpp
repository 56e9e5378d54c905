#include "ProgressBarIndicator.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

void ProgressBarIndicator::setValue(double percent)
{
    if (!m_bar || std::isnan(percent))
        return;
    const int value = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0)));
    if (value != m_bar->value())
        m_bar->setValue(value);
}

void ProgressBarIndicator::setText(const QString& text)
{
    if (!m_bar)
        return;
    // The bar shows its caption text in place of a percentage.
    m_bar->setCaption(text);
}

void CaptionProgressBar::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

} // namespace quorvane
