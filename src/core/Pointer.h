#pragma once

namespace quorvane {

enum class PointerShape
{
    Default,
    Busy, // the hourglass: the program's only busy marker
    Hand,
};

// The window's mouse pointer. Handlers read this state, never the widget cursor.
class Pointer
{
public:
    virtual ~Pointer() = default;
    virtual PointerShape shape() const = 0;
    virtual void setShape(PointerShape shape) = 0;

    bool isBusy() const { return shape() == PointerShape::Busy; }
};

// A pointer that only remembers its state: for the batch splitter and for tests.
class PlainPointer final : public Pointer
{
public:
    PointerShape shape() const override { return m_shape; }
    void setShape(PointerShape shape) override;

    int changes() const { return m_changes; }

private:
    PointerShape m_shape = PointerShape::Default;
    int m_changes = 0;
};

} // namespace quorvane
