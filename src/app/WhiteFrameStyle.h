#pragma once

#include <QProxyStyle>

namespace quorvane {

// The application's style, with a frame's inside left in the frame's own background colour: the Fusion style
// fills it with a light grey of its own, so the white frames of the design showed grey, with white patches
// behind their check box and option buttons. The frame's border is drawn as a plain line.
class WhiteFrameStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    WhiteFrameStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace quorvane
