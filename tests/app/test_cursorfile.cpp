#include "CursorFile.h"
#include "TestFiles.h"
#include "core/Failure.h"

#include <QBuffer>
#include <QtTest>

using namespace quorvane;

namespace {

void put16(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, qint64 value)
{
    put16(out, int(value & 0xffff));
    put16(out, int((value >> 16) & 0xffff));
}

// A file of one image: the directory, its entry and the image bytes.
QByteArray cursorFile(int type, int side, QPoint hotspot, const QByteArray& image)
{
    QByteArray out;
    put16(out, 0);
    put16(out, type);
    put16(out, 1);
    out.append(char(side));
    out.append(char(side));
    out.append(char(0));
    out.append(char(0));
    put16(out, hotspot.x());
    put16(out, hotspot.y());
    put32(out, image.size());
    put32(out, 22);
    return out + image;
}

// A 2 x 2 bitmap of one bit per pixel: top row white then screen, bottom row black then white.
QByteArray twoByTwoMonochrome(int compression = 0)
{
    QByteArray image;
    put32(image, 40);
    put32(image, 2);
    put32(image, 4);
    put16(image, 1);
    put16(image, 1);
    put32(image, compression);
    put32(image, 0);
    put32(image, 0);
    put32(image, 0);
    put32(image, 2);
    put32(image, 0);
    put32(image, 0);          // palette: black
    put32(image, 0x00ffffff); // white
    // Colour rows bottom-up, four bytes each: bottom row 0 1, top row 1 0.
    image.append(QByteArray::fromHex("40000000"));
    image.append(QByteArray::fromHex("80000000"));
    // Mask rows bottom-up: the top row's second pixel lets the screen through.
    image.append(QByteArray::fromHex("00000000"));
    image.append(QByteArray::fromHex("40000000"));
    return image;
}

} // namespace

class TestCursorFile : public QObject
{
    Q_OBJECT

private slots:
    void shippedHandPointer()
    {
        const CursorImage hand = readCursorFile(testfiles::applicationFolder() + QStringLiteral("/HAND-M.CUR"));
        QCOMPARE(hand.image.size(), QSize(32, 32));
        QCOMPARE(hand.hotspot, QPoint(9, 1));
        QCOMPARE(qAlpha(hand.image.pixel(0, 0)), 0);
        QCOMPARE(hand.image.pixel(8, 0), qRgba(0, 0, 0, 255));
        QCOMPARE(hand.image.pixel(9, 1), qRgba(255, 255, 255, 255));
    }

    void monochromeBitmapWithMask()
    {
        const CursorImage cursor = parseCursor(cursorFile(2, 2, QPoint(1, 1), twoByTwoMonochrome()));
        QCOMPARE(cursor.hotspot, QPoint(1, 1));
        QCOMPARE(cursor.image.pixel(0, 0), qRgba(255, 255, 255, 255));
        QCOMPARE(qAlpha(cursor.image.pixel(1, 0)), 0);
        QCOMPARE(cursor.image.pixel(0, 1), qRgba(0, 0, 0, 255));
        QCOMPARE(cursor.image.pixel(1, 1), qRgba(255, 255, 255, 255));
    }

    void pngImageAndIconHotspot()
    {
        QImage red(4, 6, QImage::Format_ARGB32);
        red.fill(qRgba(255, 0, 0, 255));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, "PNG");
        const CursorImage cursor = parseCursor(cursorFile(2, 6, QPoint(3, 5), png));
        QCOMPARE(cursor.image.size(), QSize(4, 6));
        QCOMPARE(cursor.hotspot, QPoint(3, 5));
        QCOMPARE(cursor.image.pixel(2, 2), qRgba(255, 0, 0, 255));
        // An icon file has no hotspot: its middle is taken.
        QCOMPARE(parseCursor(cursorFile(1, 6, QPoint(0, 0), png)).hotspot, QPoint(2, 3));
    }

    void invalidFilesFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = cursorFile(2, 2, QPoint(0, 0), twoByTwoMonochrome());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a cursor at all");
        QTest::newRow("wrong type") << cursorFile(3, 2, QPoint(0, 0), twoByTwoMonochrome());
        QTest::newRow("no image") << QByteArray::fromHex("000002000000");
        QTest::newRow("truncated directory") << good.left(10);
        QTest::newRow("truncated image") << good.left(good.size() - 12);
        QTest::newRow("compressed bitmap") << cursorFile(2, 2, QPoint(0, 0), twoByTwoMonochrome(1));
        QByteArray huge = good;
        huge[22 + 4] = char(0x10); // width 4098
        huge[22 + 5] = char(0x10);
        QTest::newRow("absurd width") << huge;
        QByteArray farOffset = good;
        farOffset[18] = char(0x7f);
        QTest::newRow("image offset past the end") << farOffset;
    }

    void invalidFilesFail()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(Failure, parseCursor(bytes));
    }
};

QTEST_GUILESS_MAIN(TestCursorFile)
#include "test_cursorfile.moc"
