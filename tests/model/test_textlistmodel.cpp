#include "core/EventPump.h"
#include "core/Failure.h"
#include "model/TextListModel.h"
#include "output/TextListRows.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace quorvane;

class TestTextListModel : public QObject
{
    Q_OBJECT

private slots:
    void consistentThroughEveryChange_data()
    {
        QTest::addColumn<bool>("checkable");
        QTest::newRow("plain list") << false;
        QTest::newRow("list with check marks") << true;
    }

    void consistentThroughEveryChange()
    {
        QFETCH(bool, checkable);
        TextListModel model(checkable ? TextListModel::Marks::Checkable : TextListModel::Marks::None);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setCaption(QStringLiteral("Results"));
        model.append(QStringLiteral("one"), true);
        model.append(QStringList{QStringLiteral("two"), QString(), QStringLiteral("four")}, true);
        model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
        model.remove(0);
        model.append(QStringList{});
        model.clear();
        model.append(QStringLiteral("again"));
        QCOMPARE(model.texts(), QStringList{QStringLiteral("again")});
    }

    void headerCarriesTheCaption()
    {
        TextListModel model;
        QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
        model.setCaption(QStringLiteral("Domain Name(s)"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Domain Name(s)"));
        QCOMPARE(model.columnCount(), 1);
    }

    void manyRowsAreOneInsertion()
    {
        TextListModel model(TextListModel::Marks::Checkable);
        model.append(QStringLiteral("first"));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QStringList texts;
        for (int i = 0; i < 1000; ++i)
            texts.append(QString::number(i));
        model.append(texts, true);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 1);
        QCOMPARE(inserted[0][2].toInt(), 1000);
        QCOMPARE(model.count(), 1001);
        QCOMPARE(model.text(1000), QStringLiteral("999"));
        QVERIFY(!model.isChecked(0));
        QVERIFY(model.isChecked(1000));
    }

    void manyRowsIntoAnEmptyListAreOneReset()
    {
        TextListModel model(TextListModel::Marks::Checkable);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QStringList texts;
        for (qsizetype i = 0; i < TextListModel::resetAppendRows; ++i)
            texts.append(QString::number(i));
        model.append(texts, true);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model.rowCount(), texts.size());
        QVERIFY(model.isChecked(int(texts.size()) - 1));
        model.append(texts);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.text(int(texts.size())), QStringLiteral("0"));
        QVERIFY(!model.isChecked(int(texts.size())));
        model.clear();
        model.append(texts.mid(1)); // fewer than that: an insertion
        QCOMPARE(reset.count(), 2);
        QCOMPARE(inserted.count(), 2);
    }

    void checkMarksOnlyOnACheckableList()
    {
        TextListModel plain;
        plain.append(QStringLiteral("a"), true);
        QVERIFY(!plain.data(plain.index(0, 0), Qt::CheckStateRole).isValid());
        QVERIFY(!(plain.flags(plain.index(0, 0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!plain.setData(plain.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!plain.isChecked(0));

        TextListModel marked(TextListModel::Marks::Checkable);
        marked.append(QStringLiteral("a"), true);
        QVERIFY(marked.flags(marked.index(0, 0)) & Qt::ItemIsUserCheckable);
        QCOMPARE(marked.data(marked.index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QSignalSpy changed(&marked, &QAbstractItemModel::dataChanged);
        QVERIFY(marked.setData(marked.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!marked.isChecked(0));
        QCOMPARE(marked.data(marked.index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }

    void removingOneRowShiftsTheNextUpAndKeepsItsMark()
    {
        TextListModel model(TextListModel::Marks::Checkable);
        model.append(QStringList{QStringLiteral("a"), QStringLiteral("b")}, true);
        model.append(QStringLiteral("c"), false);
        model.remove(1);
        QCOMPARE(model.texts(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
        QVERIFY(model.isChecked(0));
        QVERIFY(!model.isChecked(1));
    }

    void blocksMovedInAreTakenOverWhenEmptyAndAppendedOtherwise()
    {
        TextListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        TextBlock first;
        first.add(QStringLiteral("a"));
        first.add(QString());
        model.append(std::move(first));
        TextBlock second;
        second.add(QStringLiteral("bc"));
        model.append(std::move(second));
        QCOMPARE(model.texts(), (QStringList{QStringLiteral("a"), QString(), QStringLiteral("bc")}));
        model.remove(0);
        QCOMPARE(model.text(1), QStringLiteral("bc"));

        TextBlock block;
        block.add(QStringLiteral("x"));
        block.add(QStringLiteral("yz"));
        block.add(block); // appending a block to itself doubles it
        QCOMPARE(block.toStringList(),
                 (QStringList{QStringLiteral("x"), QStringLiteral("yz"), QStringLiteral("x"), QStringLiteral("yz")}));
        QCOMPARE(block.characterCount(), 6);
    }

    void blockKeepsEmptyTextsAndShiftsOnRemoval()
    {
        TextBlock block;
        for (const char* text : {"", "ab", "", "cde"})
            block.add(QString::fromLatin1(text));
        TextBlock more;
        more.add(QStringLiteral("f"));
        more.add(QString());
        block.add(more);
        block.remove(1);
        block.remove(0);
        QStringList texts;
        for (qsizetype i = 0; i < block.count(); ++i)
            texts.append(block.text(i));
        QCOMPARE(texts, (QStringList{QString(), QStringLiteral("cde"), QStringLiteral("f"), QString()}));

        TextListModel model;
        model.append(QStringLiteral("first"));
        model.append(block);
        QCOMPARE(model.texts(), QStringList{QStringLiteral("first")} + texts);
        QCOMPARE(model.text(2), QStringLiteral("cde"));
    }

    // Removals checked against the same removals on a plain list, with the model tester watching every
    // signal: neighbouring rows, repeats, rows out of order or outside the list, many scattered runs (a
    // reset), narrow and wide texts.
    void removalsMatchAPlainList_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("one row in the middle") << false << QList<int>{5};
        QTest::newRow("first and last rows") << false << QList<int>{0, 39};
        QTest::newRow("a run of neighbours") << false << QList<int>{10, 11, 12, 13};
        QTest::newRow("repeats and disorder") << false << QList<int>{13, 2, 13, 3, 2, 30};
        QTest::newRow("rows outside the list left out") << false << QList<int>{-1, 40, 7};
        QList<int> scattered;
        for (int row = 1; row < 40; row += 2)
            scattered.append(row);
        QTest::newRow("more runs than the reset threshold") << false << scattered;
        QTest::newRow("scattered wide texts") << true << scattered;
        QList<int> all;
        for (int row = 39; row >= 0; --row)
            all.append(row);
        QTest::newRow("every row") << true << all;
    }

    void removalsMatchAPlainList()
    {
        QFETCH(bool, wide);
        QFETCH(QList<int>, rows);
        QStringList plain;
        std::vector<bool> plainMarks;
        for (int i = 0; i < 40; ++i) {
            // Lengths vary, empty texts included, so that a wrong shift of an end shows.
            plain.append(QString(i % 5, QLatin1Char('a' + i % 26)) + QString::number(i) +
                         (wide && i % 3 == 0 ? QStringLiteral("\u20ac\u4e2d") : QString()));
            if (i % 7 == 0)
                plain[i].clear();
            plainMarks.push_back(i % 3 != 1);
        }
        TextListModel model(TextListModel::Marks::Checkable);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < plain.size(); ++i)
            model.append(plain[i], plainMarks[size_t(i)]);

        model.removeRowSet(rows);

        QList<int> doomed = rows;
        std::sort(doomed.begin(), doomed.end());
        doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
        for (auto row = doomed.crbegin(); row != doomed.crend(); ++row) {
            if (*row < 0 || *row >= plain.size())
                continue;
            plain.removeAt(*row);
            plainMarks.erase(plainMarks.begin() + *row);
        }
        QCOMPARE(model.texts(), plain);
        for (int i = 0; i < plain.size(); ++i)
            QCOMPARE(model.isChecked(i), bool(plainMarks[size_t(i)]));
        // The list still takes rows at its end.
        model.append(QStringLiteral("after"));
        QCOMPARE(model.text(model.count() - 1), QStringLiteral("after"));
    }

    // Every way of removing rows, in a seeded random order with appends and mark changes between, against a
    // plain list of texts and marks; after each step the rows read the same one by one and run by run (as
    // the exports read them), narrow and wide.
    void randomRemovalsMatchAPlainList_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::addColumn<quint32>("seed");
        for (const quint32 seed : {1u, 2u}) {
            QTest::addRow("narrow, seed %u", seed) << false << seed;
            QTest::addRow("wide, seed %u", seed) << true << seed;
        }
    }
    void randomRemovalsMatchAPlainList()
    {
        QFETCH(bool, wide);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        TextListModel model(TextListModel::Marks::Checkable);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList plain;
        std::vector<bool> plainMarks;
        const auto appendRow = [&] {
            QString text = QString::number(random.bounded(100000)).repeated(int(random.bounded(3)));
            if (wide && random.bounded(3) == 0)
                text += QStringLiteral("\u20ac\u4e2d");
            const bool checked = random.bounded(2) == 0;
            model.append(text, checked);
            plain.append(text);
            plainMarks.push_back(checked);
        };
        for (int i = 0; i < 300; ++i)
            appendRow();
        CountingEventPump pump;
        for (int step = 0; step < 300; ++step) {
            const int count = int(plain.size());
            const int kind = count == 0 ? 0 : int(random.bounded(6));
            if (kind == 0) {
                for (int i = int(random.bounded(1, 6)); i > 0; --i)
                    appendRow();
            } else if (kind <= 2) {
                const int row = int(random.bounded(count));
                model.remove(row);
                plain.removeAt(row);
                plainMarks.erase(plainMarks.begin() + row);
            } else if (kind == 3) {
                const int row = int(random.bounded(count));
                const int n = std::min(count - row, int(random.bounded(1, 5)));
                QVERIFY(model.removeRows(row, n));
                plain.remove(row, n);
                plainMarks.erase(plainMarks.begin() + row, plainMarks.begin() + row + n);
            } else if (kind == 4) {
                // A few rows, or more scattered runs than make a reset.
                QList<int> rows;
                for (int i = int(random.bounded(random.bounded(2) == 0 ? 4 : 40)); i >= 0; --i)
                    rows.append(int(random.bounded(count)));
                model.removeRowSet(rows);
                std::sort(rows.begin(), rows.end());
                rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
                for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
                    plain.removeAt(*row);
                    plainMarks.erase(plainMarks.begin() + *row);
                }
            } else {
                const int row = int(random.bounded(count));
                const bool checked = random.bounded(2) == 0;
                model.setChecked(row, checked);
                plainMarks[size_t(row)] = checked;
            }
            QCOMPARE(model.texts(), plain);
            for (int row = 0; row < model.count(); ++row)
                QCOMPARE(model.isChecked(row), bool(plainMarks[size_t(row)]));
            TextListRows rows(model, pump);
            for (int first = 0; first < rows.count(); first = rows.runEnd(first)) {
                rows.beginRun(first, rows.runEnd(first));
                for (int row = first; row < rows.runEnd(first); ++row) {
                    QCOMPARE(rows.text(row).toString(), plain[row]);
                    QCOMPARE(rows.isChecked(row), bool(plainMarks[size_t(row)]));
                }
            }
        }
    }

    void contiguousRemovalIsOneSignalAndEveryRowIsAReset()
    {
        TextListModel model(TextListModel::Marks::Checkable);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList texts;
        for (int i = 0; i < 5000; ++i)
            texts.append(QString::number(i));
        model.append(texts, true);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(model.removeRows(1000, 1000));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.count(), 4000);
        QCOMPARE(model.text(999), QStringLiteral("999"));
        QCOMPARE(model.text(1000), QStringLiteral("2000"));
        QVERIFY(model.removeRows(0, model.count()));
        QCOMPARE(reset.count(), 1);
        QCOMPARE(removed.count(), 1);
        QVERIFY(model.isEmpty());
    }

    // Ends that pass a multiple of the segment size are recomputed when texts before them go.
    void rangeRemovalAcrossWrappedEnds()
    {
        TextBlock block(4); // ends wrap every 16 characters
        QStringList plain;
        for (int i = 0; i < 30; ++i) {
            plain.append(QString(i % 6, QLatin1Char('x')) + QString::number(i));
            block.add(plain.last());
        }
        block.removeRanges({{2, 3}, {10, 1}, {12, 8}});
        plain.remove(12, 8);
        plain.remove(10, 1);
        plain.remove(2, 3);
        QCOMPARE(block.toStringList(), plain);
        block.add(QStringLiteral("tail"));
        QCOMPARE(block.text(block.count() - 1), QStringLiteral("tail"));
    }

    void rowsOutsideTheListFail_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("negative") << -1;
        QTest::newRow("one past the end") << 2;
    }

    void rowsOutsideTheListFail()
    {
        QFETCH(int, row);
        TextListModel model(TextListModel::Marks::Checkable);
        model.append(QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QVERIFY_THROWS_EXCEPTION(Failure, model.text(row));
        QVERIFY_THROWS_EXCEPTION(Failure, model.remove(row));
        QVERIFY_THROWS_EXCEPTION(Failure, model.setChecked(row, true));
        QVERIFY(!model.removeRows(row, 1));
        QCOMPARE(model.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestTextListModel)
#include "test_textlistmodel.moc"
