#pragma once

#include "core/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace quorvane {

// The window program's Prompter: Qt's message boxes, input box and file dialogs.
class WidgetPrompter final : public Prompter
{
public:
    explicit WidgetPrompter(QString title, QWidget* parent = nullptr);

    void setTitle(const QString& title) { m_title = title; }
    void setParent(QWidget* parent) { m_parent = parent; }

    void message(const QString& text) override;
    void errorReport(const QString& text) override;
    QString inputBox(const QString& prompt) override;
    QStringList openFileNames(const FileDialogOptions& options) override;
    QString saveFileName(const FileDialogOptions& options) override;

    // The text as a message box shows it: CR LF and a lone CR each break the line.
    static QString displayText(const QString& text);
    // A filter as Qt's file dialog takes it: "*.*" stands for every file, but Qt would leave out every name
    // without a dot, so it becomes "*".
    static QString dialogFilter(const QString& filter);

private:
    QString m_title;
    QPointer<QWidget> m_parent;
};

} // namespace quorvane
