// The row header that removes rows at its end against Qt's own header: after the same removals both give
// every row the same place, and the view the same rows under the same points.
#include "RowHeader.h"
#include "model/TextListModel.h"

#include <QTableView>
#include <QtTest>

#include <functional>

using namespace quorvane;

namespace {

struct ListView
{
    explicit ListView(QHeaderView* rows)
    {
        view.setVerticalHeader(rows);
        view.setModel(&model);
        rows->setSectionResizeMode(QHeaderView::Fixed);
        rows->setDefaultSectionSize(17);
        view.resize(200, 300);
    }
    TextListModel model;
    QTableView view;
};

void compareHeaders(const ListView& ours, const ListView& plain)
{
    const QHeaderView& rows = *ours.view.verticalHeader();
    const QHeaderView& expected = *plain.view.verticalHeader();
    QCOMPARE(rows.count(), ours.model.count());
    QCOMPARE(rows.count(), expected.count());
    QCOMPARE(rows.length(), expected.length());
    QCOMPARE(rows.hiddenSectionCount(), expected.hiddenSectionCount());
    for (int row = 0; row < rows.count(); ++row) {
        QCOMPARE(rows.sectionPosition(row), expected.sectionPosition(row));
        QCOMPARE(rows.sectionSize(row), expected.sectionSize(row));
        QCOMPARE(rows.isSectionHidden(row), expected.isSectionHidden(row));
    }
    for (int y = 0; y < rows.length() + 40; y += 5)
        QCOMPARE(ours.view.rowAt(y), plain.view.rowAt(y));
}

} // namespace

class TestRowHeader : public QObject
{
    Q_OBJECT

private slots:
    void removalsMatchQtsHeader_data()
    {
        using Change = std::function<void(TextListModel&, QHeaderView&)>;
        QTest::addColumn<Change>("change");
        const auto remove = [](int first, int count) {
            return Change([=](TextListModel& model, QHeaderView&) { model.removeRows(first, count); });
        };
        QTest::newRow("one row in the middle") << remove(20, 1);
        QTest::newRow("the first row") << remove(0, 1);
        QTest::newRow("the last row") << remove(39, 1);
        QTest::newRow("a run of rows") << remove(5, 12);
        QTest::newRow("every row but one") << remove(0, 39);
        QTest::newRow("every row") << remove(0, 40);
        QTest::newRow("scattered rows, one reset") << Change([](TextListModel& model, QHeaderView&) {
            model.removeRowSet({1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31, 33, 35});
        });
        QTest::newRow("a hidden row before, Qt's way") << Change([](TextListModel& model, QHeaderView& rows) {
            rows.hideSection(3);
            model.removeRows(10, 2);
            model.removeRows(0, 1);
        });
        QTest::newRow("a hidden row after, Qt's way") << Change([](TextListModel& model, QHeaderView& rows) {
            rows.hideSection(30);
            model.removeRows(10, 2);
        });
        QTest::newRow("rows appended after removals") << Change([](TextListModel& model, QHeaderView&) {
            model.removeRows(7, 3);
            model.append(QStringList{QStringLiteral("x"), QStringLiteral("y")});
            model.removeRows(0, 2);
        });
    }
    void removalsMatchQtsHeader()
    {
        using Change = std::function<void(TextListModel&, QHeaderView&)>;
        QFETCH(Change, change);
        ListView ours(new RowHeader);
        ListView plain(new QHeaderView(Qt::Vertical));
        QStringList texts;
        for (int i = 0; i < 40; ++i)
            texts.append(QString::number(i));
        for (ListView* list : {&ours, &plain}) {
            list->model.append(texts);
            list->view.show();
        }
        compareHeaders(ours, plain);
        change(ours.model, *ours.view.verticalHeader());
        change(plain.model, *plain.view.verticalHeader());
        compareHeaders(ours, plain);
    }
};

QTEST_MAIN(TestRowHeader)
#include "test_rowheader.moc"
