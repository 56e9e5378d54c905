#pragma once

#include "core/Prompter.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

namespace quorvane {

// A Prompter for tests: records every interaction in order and answers from queues. An empty queue
// answers as a cancelled dialog would.
class ScriptedPrompter final : public Prompter
{
public:
    enum class Kind
    {
        Message,
        ErrorReport,
        InputBox,
        OpenFiles,
        SaveFile,
    };

    struct Shown
    {
        Kind kind;
        QString text; // the message, the report, the input prompt or the dialog title
        FileDialogOptions dialog;
    };

    void message(const QString& text) override;
    void errorReport(const QString& text) override;
    QString inputBox(const QString& prompt) override;
    QStringList openFileNames(const FileDialogOptions& options) override;
    QString saveFileName(const FileDialogOptions& options) override;

    QQueue<QString> inputAnswers;
    QQueue<QStringList> openAnswers;
    QQueue<QString> saveAnswers;
    // Runs after each interaction is recorded, e.g. to check the window's state while a box is up.
    std::function<void(const Shown&)> onShown;

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts(Kind kind) const;
    QStringList messages() const { return texts(Kind::Message); }
    QStringList errorReports() const { return texts(Kind::ErrorReport); }
    void clear() { m_shown.clear(); }

private:
    void record(Shown shown);
    QList<Shown> m_shown;
};

} // namespace quorvane
