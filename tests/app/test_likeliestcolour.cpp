// Runs under Xvfb: the likeliest-split rows as the X server shows them after real clicks on the shown window.
#include "MainWindow.h"
#include "WindowHarness.h"

#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

// The window's colour for rows with pieces beyond the word list (MainWindow.cpp).
const QColor beyondListColour(0xb3, 0x59, 0x00);

struct RowPixels
{
    int marker = 0; // pixels near the colour of rows beyond the list
    int text = 0;   // pixels of any dark ink
};

// Counts the pixels of the view's row as the X server holds them, read back from the screen.
RowPixels drawnRow(MainWindow& window, QTableView* view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    const QPoint at = view->viewport()->mapTo(&window, rect.topLeft());
    const QImage image =
        window.screen()->grabWindow(window.winId(), at.x(), at.y(), rect.width(), rect.height()).toImage();
    RowPixels pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            pixels.marker += qAbs(pixel.red() - beyondListColour.red()) <= 40 &&
                             qAbs(pixel.green() - beyondListColour.green()) <= 40 &&
                             qAbs(pixel.blue() - beyondListColour.blue()) <= 40;
            pixels.text += pixel.lightness() < 128;
        }
    }
    return pixels;
}

} // namespace

class TestLikeliestColour : public QObject
{
    Q_OBJECT

private slots:
    // Names that split only beyond the list stand out in the marker colour; names wholly in the list do not.
    void rowsBeyondTheListAreDrawnInTheMarkerColour()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.findChild<QRadioButton*>(QStringLiteral("LikeliestSplits")), Qt::LeftButton);
        QVERIFY(window.findChild<QRadioButton*>(QStringLiteral("LikeliestSplits"))->isChecked());
        const QList<std::pair<QString, bool>> names{{QStringLiteral("sunsetphotos.com"), false},
                                                    {QStringLiteral("TVShowsOnDVD.com"), true},
                                                    {QStringLiteral("carpetsale.com"), false},
                                                    {QStringLiteral("qzxqvblorp.net"), true}};
        for (const auto& [name, beyond] : names)
            window.domainList().append(QStringList{name});

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("PushButton9")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(harness.prompter.messages().contains(QStringLiteral("Done.")), 60000);
        QCOMPARE(window.resultList().rowCount(), names.size()); // best 1: one row a name, in list order
        auto* view = window.findChild<QTableView*>(QStringLiteral("ListView2"));
        // Drawn once the window has flushed its paint to the server: every row has ink.
        QTRY_VERIFY(drawnRow(window, view, names.size() - 1).text > 0 && drawnRow(window, view, 0).text > 0);
        for (int row = 0; row < names.size(); ++row) {
            const RowPixels pixels = drawnRow(window, view, row);
            QVERIFY2(pixels.text > 0, qPrintable(names[row].first));
            QVERIFY2((pixels.marker > 10) == names[row].second, qPrintable(names[row].first));
        }
    }
};

QTEST_MAIN(TestLikeliestColour)
#include "test_likeliestcolour.moc"
