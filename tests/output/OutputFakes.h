#pragma once

#include "core/ProgressIndicator.h"
#include "output/Clipboard.h"

#include <QList>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>

#include <memory>

namespace quorvane::testing {

struct Row
{
    QStringList fields;
    bool checked = true;
};

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
        return true;
    }
    bool setText(const QString& text) override
    {
        ++setAttempts;
        if (setAttempts <= refusedSets)
            return false;
        content = text;
        return true;
    }

    int refusedClears = 0;
    int refusedSets = 0;
    int clearAttempts = 0;
    int setAttempts = 0;
    QString content = QStringLiteral("old content");
};

} // namespace quorvane::testing
