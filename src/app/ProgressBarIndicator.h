#pragma once

#include "core/ProgressIndicator.h"

#include <QPointer>
#include <QProgressBar>

namespace quorvane {

// A progress bar that shows its caption exactly as given, without Qt's placeholders.
class CaptionProgressBar final : public QProgressBar
{
    Q_OBJECT

public:
    explicit CaptionProgressBar(QWidget* parent = nullptr) : QProgressBar(parent) {}

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QString text() const override { return m_caption; }

private:
    QString m_caption;
};

// The window's progress bar as a ProgressIndicator.
class ProgressBarIndicator final : public ProgressIndicator
{
public:
    explicit ProgressBarIndicator(CaptionProgressBar& bar) : m_bar(&bar) {}

    void setValue(double percent) override;
    void setText(const QString& text) override;

private:
    QPointer<CaptionProgressBar> m_bar;
};

} // namespace quorvane
