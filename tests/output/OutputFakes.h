#pragma once

#include "ExportLayouts.h"
#include "core/Failure.h"
#include "core/ProgressIndicator.h"
#include "output/Clipboard.h"
#include "output/Spreadsheet.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>

#include <memory>

namespace quorvane::testing {

// A list view with the given captions and rows: column 0 holds the item text and the check mark.
inline std::unique_ptr<QStandardItemModel> listView(const QStringList& captions, const QList<Row>& rows)
{
    auto model = std::make_unique<QStandardItemModel>(static_cast<int>(rows.size()), static_cast<int>(captions.size()));
    model->setHorizontalHeaderLabels(captions);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < captions.size(); ++c) {
            auto* item = new QStandardItem(rows[r].fields.value(c));
            if (c == 0) {
                item->setCheckable(true);
                item->setCheckState(rows[r].checked ? Qt::Checked : Qt::Unchecked);
            }
            model->setItem(r, c, item);
        }
    }
    return model;
}

// The ResultList's shape: one column "Results".
inline std::unique_ptr<QStandardItemModel> resultList(const QList<Row>& rows)
{
    return listView({QStringLiteral("Results")}, rows);
}

// Records every change of the progress bar in order.
class RecordingProgress final : public ProgressIndicator
{
public:
    struct Change
    {
        bool isValue;
        double value;
        QString text;
    };

    void setValue(double percent) override { changes.append({true, percent, {}}); }
    void setText(const QString& text) override { changes.append({false, 0, text}); }

    QStringList texts() const
    {
        QStringList result;
        for (const Change& change : changes) {
            if (!change.isValue)
                result.append(change.text);
        }
        return result;
    }
    QList<double> values() const
    {
        QList<double> result;
        for (const Change& change : changes) {
            if (change.isValue)
                result.append(change.value);
        }
        return result;
    }

    QList<Change> changes;
};

// A clipboard that refuses a given number of attempts of each operation before it accepts.
class FakeClipboard final : public Clipboard
{
public:
    bool clear() override
    {
        ++clearAttempts;
        if (clearAttempts <= refusedClears)
            return false;
        content.clear();
        utf8Content.clear();
        return true;
    }
    bool setUtf8Text(const QByteArray& text) override
    {
        ++setAttempts;
        if (setAttempts <= refusedSets)
            return false;
        content = QString::fromUtf8(text);
        utf8Content = text;
        return true;
    }

    int refusedClears = 0;
    int refusedSets = 0;
    int clearAttempts = 0;
    int setAttempts = 0;
    QString content = QStringLiteral("old content");
    QByteArray utf8Content; // what setUtf8Text() placed, as it came
};

// A spreadsheet application that keeps its one document's cells in memory and logs every call.
class FakeSpreadsheetApplication final : public SpreadsheetApplication
{
public:
    struct Document
    {
        QMap<QPair<int, int>, QString> cells; // (row, column) from 0
        QStringList calls;
        bool shown = false;
        bool released = false;
        bool abandoned = false;
    };

    bool isInstalled() override
    {
        ++checks;
        return installed;
    }
    std::unique_ptr<Spreadsheet> addWorkbook() override;

    bool installed = true;
    int checks = 0;
    int failAtCall = -1;                // the document call (counted from 0) that throws SpreadsheetGone, -1 for none
    QSet<QPair<int, int>> refusedCells; // (row, column) from 0: a write that touches one throws Failure
    QString savesTo;                    // an application without windows: show() saves here and says so
    Document document;
    int workbooks = 0;
};

class FakeSpreadsheet final : public Spreadsheet
{
public:
    explicit FakeSpreadsheet(FakeSpreadsheetApplication& application) : m_application(application) {}
    ~FakeSpreadsheet() override { m_application.document.released = true; }

    void setTexts(int row, int column, const QList<QStringList>& rows) override
    {
        log(QStringLiteral("setTexts %1,%2 %3x%4").arg(row).arg(column).arg(rows.size()).arg(rows.first().size()));
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < rows[r].size(); ++c) {
                if (m_application.refusedCells.contains({row + r, column + c}))
                    throw Failure(QStringLiteral("The cell refused its text"));
            }
        }
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < rows[r].size(); ++c)
                m_application.document.cells[{row + r, column + c}] = rows[r][c];
        }
    }
    void autofitColumn(int column) override { log(QStringLiteral("autofit %1").arg(column)); }
    void autofitAllColumns() override { log(QStringLiteral("autofit all")); }
    QString show() override
    {
        log(QStringLiteral("show"));
        m_application.document.shown = m_application.savesTo.isEmpty();
        return m_application.savesTo;
    }
    void abandon() override
    {
        log(QStringLiteral("abandon"));
        m_application.document.abandoned = true;
    }

private:
    void log(const QString& call)
    {
        if (m_application.document.calls.size() == m_application.failAtCall)
            throw SpreadsheetGone(QStringLiteral("Binary URP bridge disposed during call"));
        m_application.document.calls.append(call);
    }

    FakeSpreadsheetApplication& m_application;
};

inline std::unique_ptr<Spreadsheet> FakeSpreadsheetApplication::addWorkbook()
{
    ++workbooks;
    return std::make_unique<FakeSpreadsheet>(*this);
}

} // namespace quorvane::testing
