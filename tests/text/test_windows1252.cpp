#include "text/Windows1252.h"

#include <QtTest>

using namespace quorvane;

class TestWindows1252 : public QObject
{
    Q_OBJECT

private slots:
    void everyByteDecodesAndRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString text = windows1252::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(windows1252::encode(text), all);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral("€");
        QTest::newRow("undefined 81 is a C1 control") << QByteArray("\x81") << QStringLiteral("\u0081");
        QTest::newRow("undefined 8D 8F 90 9D")
            << QByteArray("\x8D\x8F\x90\x9D") << QStringLiteral("\u008D\u008F\u0090\u009D");
        QTest::newRow("quotes") << QByteArray("\x93q\x94") << QStringLiteral("“q”");
        QTest::newRow("latin-1 range") << QByteArray("\xE9\xFF") << QStringLiteral("éÿ");
        QTest::newRow("nul") << QByteArray("\x00", 1) << QString(QChar(0));
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(windows1252::decode(bytes), text);
    }

    void unmappableCharactersBecomeQuestionMarks()
    {
        QCOMPARE(windows1252::encode(QStringLiteral("a€λ日")), QByteArray("a\x80??"));
        // A character outside the basic plane is two units, so two bytes: widths stay aligned.
        QCOMPARE(windows1252::encode(QStringLiteral("\U0001F600")), QByteArray("??"));
    }
};

QTEST_GUILESS_MAIN(TestWindows1252)
#include "test_windows1252.moc"
