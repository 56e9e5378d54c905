#include "WidgetPrompter.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quorvane {

namespace {

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text, QWidget* parent)
{
    QMessageBox box(icon, title, WidgetPrompter::displayText(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString filterText(const FileDialogOptions& options)
{
    QStringList filters;
    for (const QString& filter : options.filters)
        filters.append(WidgetPrompter::dialogFilter(filter));
    return filters.join(QStringLiteral(";;"));
}

QString selectedFilter(const FileDialogOptions& options)
{
    return WidgetPrompter::dialogFilter(options.filters.value(options.selectedFilter));
}

} // namespace

WidgetPrompter::WidgetPrompter(QString title, QWidget* parent) : m_title(std::move(title)), m_parent(parent) {}

QString WidgetPrompter::dialogFilter(const QString& filter)
{
    QString result = filter;
    result.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    return result;
}

QString WidgetPrompter::displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void WidgetPrompter::message(const QString& text)
{
    showBox(QMessageBox::NoIcon, m_title, text, m_parent);
}

void WidgetPrompter::errorReport(const QString& text)
{
    showBox(QMessageBox::Warning, QStringLiteral("Application Error"), text, m_parent);
}

QString WidgetPrompter::inputBox(const QString& prompt)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(m_parent, m_title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}

QStringList WidgetPrompter::openFileNames(const FileDialogOptions& options)
{
    QString filter = selectedFilter(options);
    return QFileDialog::getOpenFileNames(m_parent, options.title, QString(), filterText(options), &filter);
}

QString WidgetPrompter::saveFileName(const FileDialogOptions& options)
{
    QString filter = selectedFilter(options);
    return QFileDialog::getSaveFileName(m_parent, options.title, QString(), filterText(options), &filter,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace quorvane
