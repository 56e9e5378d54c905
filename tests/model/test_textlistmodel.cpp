#include "core/Failure.h"
#include "model/TextListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

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
