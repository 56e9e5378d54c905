// Domain files the user should not have chosen: binary files, devices, folders and a line of 100 MB. The
// window loads what is a file, refuses what is not, and keeps what it loaded across a run and a restart.
#include "MainWindow.h"
#include "WindowHarness.h"
#include "core/Pointer.h"
#include "model/TextListModel.h"
#include "text/Windows1252.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QTreeView>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

QByteArray pngImage()
{
    QImage image(96, 64, QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 96, 64);
    gradient.setColorAt(0, Qt::red);
    gradient.setColorAt(1, Qt::blue);
    painter.fillRect(image.rect(), gradient);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("example.com"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int round = 0; round < 64; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.append(static_cast<char>((value + round) % 256));
    }
    return bytes;
}

// What the user should find in the DomainList: every byte one Windows-1252 character; CR LF, a lone CR and a
// lone LF each end a name; a terminator at the very end adds nothing.
QStringList namesOf(const QByteArray& bytes)
{
    QStringList names;
    QString name;
    bool open = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte == '\r' || byte == '\n') {
            names.append(name);
            name.clear();
            open = false;
            if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            name += windows1252::decode(QByteArrayView(&bytes.constData()[i], 1));
            open = true;
        }
    }
    if (open)
        names.append(name);
    return names;
}

// Start-up restores the stored list split at ";" without its empty pieces.
QStringList restoredFrom(const QStringList& entries)
{
    return entries.join(QLatin1Char(';')).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void showAndPaint(MainWindow& window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // grab() paints every control, both lists included, as a repaint of the screen would.
    QVERIFY(!window.grab().isNull());
}

} // namespace

class TestHostileDomainFiles : public QObject
{
    Q_OBJECT

private slots:
    void binaryFileLoadsWholeAndSurvivesARunAndARestart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("a PNG image") << pngImage();
        QTest::newRow("256 KiB of random bytes") << testfiles::randomBytes(256 * 1024, 20260907);
        QTest::newRow("every byte value, NUL included") << everyByteValue();
    }

    void binaryFileLoadsWholeAndSurvivesARunAndARestart()
    {
        QFETCH(QByteArray, bytes);
        const QStringList expected = namesOf(bytes);
        QVERIFY(expected.size() > 10);
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString path = harness.temporaryPath(QStringLiteral("picture.txt"));
        testfiles::writeBytes(path, bytes);
        harness.prompter.openAnswers.enqueue({path});

        window.PushButton3_Click();
        QCOMPARE(window.domainList().texts(), expected);
        QCOMPARE(harness.prompter.shown().size(), 1); // the dialog, nothing more
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
        showAndPaint(window);

        window.PushButton9_Click();
        QVERIFY2(harness.prompter.errorReports().isEmpty(), qPrintable(harness.prompter.errorReports().value(0)));
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(harness.pump.count(), expected.size());

        window.close();
        harness.destroy();
        QCOMPARE(harness.load().domainList().texts(), restoredFrom(expected));
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    void devicesAndFoldersAreRefusedWithoutAHang_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("/dev/zero never ends") << QStringLiteral("/dev/zero") << QStringLiteral("it is a device");
        QTest::newRow("/dev/urandom never ends") << QStringLiteral("/dev/urandom") << QStringLiteral("it is a device");
        QTest::newRow("a folder") << QString() << QStringLiteral("it is a folder");
    }

    void devicesAndFoldersAreRefusedWithoutAHang()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        WindowHarness harness;
        MainWindow& window = harness.load();
        if (path.isEmpty()) {
            path = harness.temporaryPath(QStringLiteral("names.txt"));
            QVERIFY(QDir().mkpath(path));
        }
        window.domainList().append(QStringLiteral("kept.com"));
        harness.prompter.openAnswers.enqueue({path});
        window.PushButton3_Click();
        const QStringList reports = harness.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Cannot open \"%1\": %2").arg(path, reason)),
                 qPrintable(reports[0]));
        QVERIFY(reports[0].contains(QStringLiteral("PushButton3_Click at line 120")));
        QCOMPARE(window.domainList().texts(), QStringList{QStringLiteral("kept.com")});
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    void hundredMegabyteLineLoadsWholeAndTheWindowStillPaints()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString path = harness.temporaryPath(QStringLiteral("huge.txt"));
        constexpr qsizetype lineLength = 100 * 1000 * 1000;
        {
            QByteArray line = QByteArray("sunsetphotos.example-").repeated(lineLength / 21 + 1);
            line.truncate(lineLength);
            testfiles::writeBytes(path, "before.com\r\n" + line + "\r\nafter.com\r\n");
        }
        harness.prompter.openAnswers.enqueue({path});
        window.PushButton3_Click();
        QVERIFY(harness.prompter.errorReports().isEmpty());
        QCOMPARE(window.domainList().count(), 3);
        QCOMPARE(window.domainList().text(0), QStringLiteral("before.com"));
        QCOMPARE(window.domainList().text(2), QStringLiteral("after.com"));
        const QString huge = window.domainList().text(1);
        QCOMPARE(huge.size(), lineLength);
        QVERIFY(huge.startsWith(QStringLiteral("sunsetphotos.example-sunset")));

        // The list shows the start of the line, so that painting does not lay out 100 million characters.
        const QString shown = window.domainList().data(window.domainList().index(1, 0)).toString();
        QCOMPARE(shown, huge.left(TextListModel::maxShownLength) + QChar(0x2026));
        showAndPaint(window);
    }

    void longLineIsReportedByTheRunAndKeptWholeAcrossARestart()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString line = QStringLiteral("bookstore").repeated(120000); // 1,080,000 characters
        const QString path = harness.temporaryPath(QStringLiteral("long.txt"));
        testfiles::writeBytes(path, "sunsetphotos.com\r\n" + line.toLatin1() + "\r\n");
        harness.prompter.openAnswers.enqueue({path});
        window.PushButton3_Click();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);

        window.PushButton9_Click();
        QCOMPARE(harness.prompter.errorReports(),
                 QStringList{QStringLiteral("Overflow: a text of 1080000 characters is too long to split (at most "
                                            "32766).\r\nin Velmodra2021/08/31.Form1.PushButton9_Click at line 120\r\r"
                                            "Please email screenshot of this message to support@quorvane.example")});
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
        QVERIFY(window.resultList().texts().contains(QStringLiteral("sunset photos")));

        window.close();
        harness.destroy();
        QCOMPARE(harness.load().domainList().texts(), (QStringList{QStringLiteral("sunsetphotos.com"), line}));
    }
};

QTEST_MAIN(TestHostileDomainFiles)
#include "test_hostiledomainfiles.moc"
