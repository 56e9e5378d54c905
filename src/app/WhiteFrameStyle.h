#pragma once

#include <QProxyStyle>

namespace quorvane {

// The application's style: frames keep their own background, with a plain border.
class WhiteFrameStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    WhiteFrameStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace quorvane
