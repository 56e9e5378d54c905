#include "WhiteFrameStyle.h"

#include <QGroupBox>
#include <QPainter>
#include <QStyleOption>

namespace quorvane {

namespace {

// Fusion's space between a frame's caption and its border.
constexpr int captionGap = 3;

} // namespace

WhiteFrameStyle::WhiteFrameStyle() = default;

void WhiteFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const
{
    if (element != PE_FrameGroupBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // The border starts below the caption, where Fusion starts it.
    const auto* frame = qobject_cast<const QGroupBox*>(widget);
    int top = captionGap;
    if (!frame || frame->isCheckable() || !frame->title().isEmpty())
        top += qMax(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget), option->fontMetrics.height());
    const QRect border = option->rect.adjusted(0, top, -1, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(option->palette.color(QPalette::Window).darker(140));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(border, 2, 2);
    painter->restore();
}

} // namespace quorvane
