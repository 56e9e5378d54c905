#pragma once

#include <QPoint>

namespace quorvane {

// An option button or check box that a click anywhere in its rectangle toggles, not only on its mark and caption.
template <typename Button> class WholeAreaButton final : public Button
{
public:
    using Button::Button;

protected:
    bool hitButton(const QPoint& position) const override { return this->rect().contains(position); }
};

} // namespace quorvane
