#include "ScriptedPrompter.h"

namespace quorvane {

void ScriptedPrompter::record(Shown shown)
{
    m_shown.append(shown);
    if (onShown)
        onShown(m_shown.last());
}

void ScriptedPrompter::message(const QString& text)
{
    record({Kind::Message, text, {}});
}

void ScriptedPrompter::errorReport(const QString& text)
{
    record({Kind::ErrorReport, text, {}});
}

QString ScriptedPrompter::inputBox(const QString& prompt)
{
    record({Kind::InputBox, prompt, {}});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
}

QStringList ScriptedPrompter::openFileNames(const FileDialogOptions& options)
{
    record({Kind::OpenFiles, options.title, options});
    return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
}

QString ScriptedPrompter::saveFileName(const FileDialogOptions& options)
{
    record({Kind::SaveFile, options.title, options});
    return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
}

QStringList ScriptedPrompter::texts(Kind kind) const
{
    QStringList result;
    for (const Shown& shown : m_shown) {
        if (shown.kind == kind)
            result.append(shown.text);
    }
    return result;
}

} // namespace quorvane
