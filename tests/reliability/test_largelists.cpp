// The lists of the window take a run's rows one name at a time: a million rows in many small appends must
// cost linear time, which shows in how rarely the texts' buffers have to grow.
#include "model/TextListModel.h"
#include "text/TextBlock.h"

#include <QSet>
#include <QtTest>

using namespace quorvane;

class TestLargeLists : public QObject
{
    Q_OBJECT

private slots:
    void smallAppendsGrowTheBufferGeometrically()
    {
        TextBlock block;
        QSet<qsizetype> characterCapacities;
        QSet<qsizetype> textCapacities;
        const QString row = QStringLiteral("sunsetphotos.com - sunset photos");
        for (int name = 0; name < 20000; ++name) {
            block.reserve(2, 2 * row.size());
            block.add(row);
            block.add(row);
            characterCapacities.insert(block.characterCapacity());
            textCapacities.insert(block.textCapacity());
        }
        QCOMPARE(block.count(), 40000);
        QCOMPARE(block.text(39999), row);
        // Exact reservations would give 20,000 different sizes; doubling gives about log2(20,000).
        QVERIFY2(characterCapacities.size() < 40, qPrintable(QString::number(characterCapacities.size())));
        QVERIFY2(textCapacities.size() < 40, qPrintable(QString::number(textCapacities.size())));
    }

    void oneLargeAppendReservesExactly()
    {
        TextBlock block;
        block.reserve(1000, 10000);
        QCOMPARE(block.textCapacity(), 1000);
        QVERIFY(block.characterCapacity() >= 10000 && block.characterCapacity() < 10100);
    }

    void rowsAppendedNameByNameAllArrive()
    {
        TextListModel list(TextListModel::Marks::Checkable);
        for (int name = 0; name < 5000; ++name)
            list.append({QStringLiteral("row %1 a").arg(name), QStringLiteral("row %1 b").arg(name)}, true);
        QCOMPARE(list.count(), 10000);
        QCOMPARE(list.text(9999), QStringLiteral("row 4999 b"));
        QVERIFY(list.isChecked(9999));
    }
};

QTEST_GUILESS_MAIN(TestLargeLists)
#include "test_largelists.moc"
