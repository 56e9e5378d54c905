#include "MainWindow.h"
#include "ShellTexts.h"
#include "ShutdownSignals.h"
#include "WidgetPrompter.h"
#include "WindowHarness.h"
#include "core/Pointer.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <csignal>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

template <typename T> T* control(MainWindow& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void moveMouseOver(QWidget* widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QWidget* pointerTarget(MainWindow& window, const QString& name)
{
    if (name == QLatin1String("Form1"))
        return &window;
    QWidget* widget = window.findChild<QWidget*>(name);
    if (auto* view = qobject_cast<QTableView*>(widget))
        return view->viewport();
    return widget;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstRunSelectsListOneShowsTheOriginalAndAnEmptyList()
    {
        WindowHarness harness(WindowHarness::FirstRun);
        MainWindow& window = harness.load();
        QVERIFY(control<QRadioButton>(window, "Option1")->isChecked());
        QVERIFY(control<QCheckBox>(window, "Check5")->isChecked());
        QCOMPARE(window.domainList().count(), 0);
        QCOMPARE(window.resultList().count(), 0);
        QVERIFY(!window.dictionary().isEmpty());
        QCOMPARE(window.domainList().caption(), QStringLiteral("Domain Name(s)"));
        QCOMPARE(window.resultList().caption(), QStringLiteral("Results"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(window.applicationTitle(), QStringLiteral("Quorvane"));
        QVERIFY(harness.prompter.shown().isEmpty());
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
        QVERIFY(!window.windowIcon().isNull());
        // Start-up reads the settings and writes none.
        QVERIFY(!QFile::exists(harness.settingsPath()));
    }

    void storedListComesBackWithoutEmptyPieces_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("two names") << "a.com;b.com" << QStringList{"a.com", "b.com"};
        QTest::newRow("leading, trailing and doubled separators") << ";a.com;;b.com;" << QStringList{"a.com", "b.com"};
        QTest::newRow("blanks are kept") << " a.com ; b" << QStringList{" a.com ", " b"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void storedListComesBackWithoutEmptyPieces()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, entries);
        WindowHarness harness;
        harness.presetSetting(QStringLiteral("Zip Codes"), stored);
        MainWindow& window = harness.load();
        QCOMPARE(window.domainList().texts(), entries);
        QVERIFY(harness.prompter.shown().isEmpty());
    }

    void storedWordListChoice_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("reported");
        QTest::newRow("2 selects list #2") << "2"
                                           << "Option2" << false;
        QTest::newRow("3 selects list #3") << "3"
                                           << "Option3" << false;
        QTest::newRow("1 selects list #1") << "1"
                                           << "Option1" << false;
        QTest::newRow("7 keeps list #1") << "7"
                                         << "Option1" << false;
        QTest::newRow("not a number reports and keeps list #1") << "x"
                                                                << "Option1" << true;
    }

    void storedWordListChoice()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        QFETCH(bool, reported);
        WindowHarness harness;
        harness.presetSetting(QStringLiteral("Option"), stored);
        MainWindow& window = harness.load();
        QVERIFY(window.findChild<QRadioButton*>(selected)->isChecked());
        const QStringList reports = harness.prompter.errorReports();
        if (reported) {
            QCOMPARE(reports.size(), 1);
            QVERIFY(reports[0].contains(QStringLiteral("\r\nin Velmodra2021/08/31.Form1.Form_Load at line 114\r\r")));
        } else {
            QVERIFY(reports.isEmpty());
        }
        QVERIFY(!window.dictionary().isEmpty());
    }

    // The stored on/off choices, check boxes and the Results menu's entry: read at start-up without being
    // written; a choice stores "1" or "0", and the next start shows it.
    void storedOnOffChoice_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored"); // null: the store lacks the key
        QTest::addColumn<bool>("checked");
        for (const auto& [control, key, unset] :
             {std::tuple{"Check5", "Show ASIN", true}, std::tuple{"RankResults", "Rank Results", false},
              std::tuple{"RankResultsBox", "Rank Results", false}, std::tuple{"CaseHints", "Case Hints", true}}) {
            const QString name = QString::fromLatin1(control), setting = QString::fromLatin1(key);
            QTest::addRow("%s: 1 is on", control) << name << setting << "1" << true;
            QTest::addRow("%s: 0 is off", control) << name << setting << "0" << false;
            QTest::addRow("%s: not a number is off", control) << name << setting << "yes" << false;
            QTest::addRow("%s: no key", control) << name << setting << QString() << unset;
        }
    }
    void storedOnOffChoice()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        WindowHarness harness; // its store holds the word list's choice: an older store lacks the key
        if (!stored.isNull())
            harness.presetSetting(key, stored);
        if (control == QLatin1String("CaseHints")) // open to choice with the likeliest splits only
            harness.presetSetting(QStringLiteral("Likeliest Splits"), QStringLiteral("1"));
        const auto state = [&] { return harness.window().findChild<QObject*>(control)->property("checked"); };
        const auto choose = [&] {
            QObject* found = harness.window().findChild<QObject*>(control);
            if (auto* action = qobject_cast<QAction*>(found))
                action->trigger();
            else
                qobject_cast<QAbstractButton*>(found)->click();
        };
        QVERIFY(harness.load().findChild<QObject*>(control)->property("checkable").toBool());
        QCOMPARE(state(), QVariant(checked));
        QCOMPARE(harness.storedSetting(key), stored.isNull() ? QVariant() : QVariant(stored)); // reading stores nothing
        choose();
        QCOMPARE(state(), QVariant(!checked));
        QCOMPARE(harness.storedSetting(key).toString(), QString::number(!checked));
        harness.destroy();
        harness.load();
        QCOMPARE(state(), QVariant(!checked));
        choose();
        QCOMPARE(harness.storedSetting(key).toString(), QString::number(checked));
        QVERIFY(harness.prompter.shown().isEmpty());
    }

    void missingWordDatabaseEndsStartUpWithOneMessageAndTouchesNoSetting()
    {
        WindowHarness harness(WindowHarness::FirstRun);
        const QString folder = harness.makeApplicationFolder({QStringLiteral("google.col")});
        harness.presetSetting(QStringLiteral("Zip Codes"), QStringLiteral("kept.com"));
        const QByteArray before = testfiles::readBytes(harness.settingsPath());
        MainWindow& window = harness.create();
        QVERIFY(!window.Form_Load());
        QCOMPARE(harness.prompter.shown().size(), 1);
        QCOMPARE(harness.prompter.messages(), QStringList{folder + QStringLiteral("/dbWords.mdb not found.")});
        QVERIFY(!window.isVisible());
        QCOMPARE(window.domainList().count(), 0);
        harness.destroy();
        QCOMPARE(testfiles::readBytes(harness.settingsPath()), before);
    }

    void closingStoresEveryEntryAndTheNextStartRestoresThem_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("stored");
        QTest::newRow("two entries") << QStringList{"a.com", "b c"} << "a.com;b c";
        QTest::newRow("empty list") << QStringList{} << "";
    }

    void closingStoresEveryEntryAndTheNextStartRestoresThem()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, stored);
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(entries);
        QVERIFY(window.close());
        QCOMPARE(harness.storedSetting(QStringLiteral("Zip Codes")).toString(), stored);
        QVERIFY(window.isClosing());
        harness.destroy();
        QCOMPARE(harness.load().domainList().texts(), entries);
    }

    void closingKeepsListsLongerThan32767Entries()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        QStringList entries;
        for (int i = 0; i < 40000; ++i)
            entries.append(QStringLiteral("name%1.com").arg(i));
        window.domainList().append(entries);
        window.close();
        harness.destroy();
        QCOMPARE(harness.load().domainList().texts(), entries);
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    void wordListOptionStoresTheChoiceAndLoadsTheList()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        control<QRadioButton>(window, "Option3")->click();
        QCOMPARE(harness.storedSetting(QStringLiteral("Option")).toString(), QStringLiteral("3"));
        QVERIFY(!window.dictionary().isEmpty());
        control<QRadioButton>(window, "Option2")->click();
        QCOMPARE(harness.storedSetting(QStringLiteral("Option")).toString(), QStringLiteral("2"));
    }

    // The window is served while a chosen list loads; "Start Splitting" pressed meanwhile starts once the new
    // words are in.
    void choosingAListServesTheWindowWhileItLoads()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(QStringList{QStringLiteral("sunsetphotos.com")});
        const qsizetype before = window.dictionary().size();
        int yields = 0;
        harness.pump.onYield = [&](int) {
            if (++yields == 1)
                window.PushButton9_Click();
        };
        control<QRadioButton>(window, "Option2")->click();
        QVERIFY(yields > 0);
        QVERIFY(window.dictionary().size() > before);
        QCOMPARE(window.resultList().count(), 0);
        QTRY_VERIFY(window.resultList().count() > 0);
    }

    // A click anywhere in an option button or the check box counts, also far right of its caption.
    void optionButtonsReactAcrossTheirWholeWidth()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.show();
        auto* check = control<QCheckBox>(window, "Check5");
        const bool shown = check->isChecked();
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(check->width() - 3, check->height() / 2));
        QCOMPARE(check->isChecked(), !shown);
        for (const char* name : {"Option1", "Option3"}) {
            auto* option = control<QRadioButton>(window, name);
            QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->width() - 3, option->height() / 2));
            QVERIFY2(option->isChecked(), name);
        }
        QCOMPARE(harness.storedSetting(QStringLiteral("Option")).toString(), QStringLiteral("3"));
    }

    void skinFileOnlyChangesTheBackgrounds()
    {
        for (const bool skinned : {false, true}) {
            WindowHarness harness;
            const QString folder =
                harness.makeApplicationFolder({QStringLiteral("dbWords.mdb"), QStringLiteral("mit.col")});
            if (skinned) {
                QDir(folder).mkpath(QStringLiteral("x"));
                testfiles::writeBytes(folder + QStringLiteral("/x/o.cjs"), "skin");
            }
            MainWindow& window = harness.load();
            QCOMPARE(window.isSkinned(), skinned);
            for (const char* name : {"Frame1", "Frame2", "Check5", "Option1", "Option2", "Option3"}) {
                const QColor background = control<QWidget>(window, name)->palette().color(QPalette::Window);
                QCOMPARE(background == QColor(Qt::white), !skinned);
            }
            // Inside its border, beside its controls, a frame shows that colour too, not a shade of its own.
            for (const char* name : {"Frame1", "Frame2"}) {
                auto* frame = control<QWidget>(window, name);
                const QImage drawn = frame->grab().toImage();
                const QPoint inside(drawn.width() - 20, drawn.height() - 8);
                QCOMPARE(drawn.pixelColor(inside), frame->palette().color(QPalette::Window));
            }
            QCOMPARE(window.palette().color(QPalette::Window) == QColor(Qt::white), !skinned);
        }
    }

    void helpTexts()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.PushButton8_Click();
        control<QRadioButton>(window, "Option2")->setText(QStringLiteral("Renamed"));
        window.PushButton10_Click();
        QStringList messages = harness.prompter.messages();
        // The help on the display choices and the user's words comes before the last paragraph of each.
        for (QString& text : messages)
            text.remove(QRegularExpression(QStringLiteral("(?s)(Every split:|\r\n\r\nAdd Words).*?(\r\n\r\n|$)")));
        QCOMPARE(messages,
                 (QStringList{QStringLiteral("This software uses a 200,000 word list to find splits.\r\n\r\n"
                                             "If you have any questions about the results you can email "
                                             "support@quorvane.example"),
                              QStringLiteral("Word List #1 - is a 100,000 word word-list based on an Access file.\r\n"
                                             "Renamed - is a Google word list.\r\n\r\n"
                                             "Word List #3 - is a MIT word list.")}));
    }

    void applicationTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short title used whole") << "Quorvane Splitter"
                                                << "Quorvane Splitter";
        const QString fifty = QStringLiteral("Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd Eeeee Ffff");
        QTest::newRow("cut twice at the last blanks") << fifty << fifty.left(39);
        QTest::newRow("exactly 40 characters") << QString(40, QLatin1Char('a')) << QString(40, QLatin1Char('a'));
        QTest::newRow("no blank to cut at") << QString(45, QLatin1Char('a')) << QString(40, QLatin1Char('a'));
    }

    void applicationTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        QCOMPARE(applicationTitleFor(title), expected);
        QCOMPARE(provisionalApplicationTitle(QString(50, QLatin1Char('q'))).size(), 39);
    }

    void pointerFeedback_data()
    {
        QTest::addColumn<QString>("over");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const int arrow = int(PointerShape::Default);
        const int hand = int(PointerShape::Hand);
        const int busy = int(PointerShape::Busy);
        for (const char* button :
             {"PushButton1", "PushButton2", "PushButton3", "PushButton4", "PushButton5", "PushButton6", "PushButton7",
              "PushButton8", "PushButton9", "PushButton10", "PushButton13"}) {
            QTest::addRow("%s shows the hand", button) << button << arrow << hand;
            QTest::addRow("%s leaves busy", button) << button << busy << busy;
        }
        for (const char* background : {"Form1", "ListView1", "ListView2", "Frame1", "Frame2"}) {
            QTest::addRow("%s shows the arrow", background) << background << hand << arrow;
            QTest::addRow("%s leaves busy", background) << background << busy << busy;
        }
        for (const char* neutral : {"Check5", "Option1", "Option2", "Option3", "ProgressBar1"}) {
            QTest::addRow("%s keeps the hand", neutral) << neutral << hand << hand;
            QTest::addRow("%s keeps the arrow", neutral) << neutral << arrow << arrow;
        }
    }

    void pointerFeedback()
    {
        QFETCH(QString, over);
        QFETCH(int, from);
        QFETCH(int, to);
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.pointer().setShape(PointerShape(from));
        moveMouseOver(pointerTarget(window, over));
        QCOMPARE(int(window.pointer().shape()), to);
    }

    void everyControlStandsWhereTheLayoutTablePutsIt_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        const auto row = [](const char* name, const char* caption, int left, int top, int width, int height) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption)
                                << QRect(left, top, width, height);
        };
        row("PushButton8", "Help", 120, 120, 7800, 405);
        row("ListView1", "", 120, 630, 7800, 2535);
        row("PushButton6", "Add Domain Name", 120, 3255, 3840, 405);
        row("PushButton3", "Load Domains From Text File", 4080, 3255, 3840, 405);
        row("PushButton1", "Clear List", 120, 3765, 3840, 405);
        row("PushButton7", "Load Sample/Example Domains", 4080, 3765, 3840, 405);
        row("Frame1", "Display Option", 120, 4215, 7800, 1335);
        row("Check5", "Show original domain name in results also", 240, 300, 5085, 285);
        row("Frame2", "Word List Option", 120, 5595, 7800, 1380);
        row("Option1", "Word List #1", 240, 300, 3330, 255);
        row("Option2", "Word List #2", 240, 650, 2535, 255);
        row("Option3", "Word List #3", 240, 1000, 2535, 255);
        row("PushButton10", "?", 7080, 270, 480, 405);
        row("PushButton9", "Start Splitting", 120, 7090, 7800, 405);
        row("ListView2", "", 8040, 120, 7800, 5835);
        row("PushButton4", "Save Results As Text File", 8040, 6060, 3840, 405);
        row("PushButton13", "Save Results As Excel File", 12000, 6060, 3840, 405);
        row("PushButton5", "Copy Results To Clipboard", 8040, 6570, 3840, 405);
        row("PushButton2", "Clear Results", 12000, 6570, 3840, 405);
        row("ProgressBar1", "Progress Bar", 8040, 7090, 7800, 405);
    }

    void everyControlStandsWhereTheLayoutTablePutsIt()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        WindowHarness harness;
        MainWindow& window = harness.load();
        QCOMPARE(window.logicalDpiY(), 96);
        // 15 twips make one pixel at 96 dots per inch.
        const auto pixels = [](int value) { return int(std::lround(value / 15.0)); };
        QWidget* widget = window.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(),
                 QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()), pixels(twips.height())));
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(button->text(), caption);
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            QCOMPARE(frame->title(), caption);
        else if (auto* bar = qobject_cast<QProgressBar*>(widget))
            QCOMPARE(bar->text(), caption);
        const bool inFrame = name == QLatin1String("Check5") || name.startsWith(QLatin1String("Option")) ||
                             name == QLatin1String("PushButton10");
        QCOMPARE(widget->parentWidget() == &window, !inFrame);
        const QFont font = widget->font();
        QVERIFY(font.bold() || qobject_cast<QProgressBar*>(widget));
        if (qobject_cast<QPushButton*>(widget))
            QCOMPARE(font.pointSizeF(), 11.25);
        else if (!qobject_cast<QProgressBar*>(widget))
            QCOMPARE(font.pointSizeF(), 9.0);
    }

    void windowIsFixedCentredSizeWithoutMaximise()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        QCOMPARE(window.size(), QSize(1064, 507));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(QFontInfo(control<QPushButton>(window, "PushButton9")->font()).family(),
                 QStringLiteral("Liberation Sans"));
    }

    void listsHaveOneColumnOf7000TwipsTheToolTipAndUniformRows()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        for (const char* name : {"ListView1", "ListView2"}) {
            auto* view = control<QTableView>(window, name);
            QCOMPARE(view->model()->columnCount(), 1);
            QCOMPARE(view->horizontalHeader()->sectionSize(0), 467);
            QCOMPARE(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
            QVERIFY(!view->verticalHeader()->isVisibleTo(view));
            QCOMPARE(view->toolTip(), QStringLiteral("Double-click item to remove it. Move | line to right and "
                                                     "out of window to reveal full names."));
        }
        QCOMPARE(control<QTableView>(window, "ListView1")->model(), &window.domainList());
        QCOMPARE(control<QTableView>(window, "ListView2")->model(), &window.resultList());
    }

    void tabOrderFollowsTheTabIndexes()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QStringList expected = {"ListView1",   "ListView2",    "PushButton6",     "PushButton3", "PushButton1",
                                      "PushButton9", "PushButton4",  "PushButton13",    "PushButton2", "PushButton5",
                                      "Check5",      "EverySplit",   "LikeliestSplits", "BestSplits",  "RankResultsBox",
                                      "CaseHints",   "PushButton7",  "PushButton8",     "Option2",     "Option1",
                                      "Option3",     "PushButton10", "AddWords",        "DropWords",   "ForgetWords"};
        QStringList order;
        QWidget* widget = control<QWidget>(window, "ListView1");
        do {
            if (widget->focusPolicy() & Qt::TabFocus && widget->parentWidget() && !widget->objectName().isEmpty() &&
                !widget->objectName().startsWith(QLatin1String("qt_")))
                order.append(widget->objectName());
            widget = widget->nextInFocusChain();
        } while (widget != control<QWidget>(window, "ListView1") && order.size() < 40);
        QCOMPARE(order, expected);
    }

    void messageBoxesCarryTheirCaptionsAndIcons_data()
    {
        QTest::addColumn<bool>("report");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("error report") << true << "Application Error" << int(QMessageBox::Warning);
        QTest::newRow("plain message") << false << "Quorvane" << int(QMessageBox::NoIcon);
    }

    void messageBoxesCarryTheirCaptionsAndIcons()
    {
        QFETCH(bool, report);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        WidgetPrompter prompter(QStringLiteral("Quorvane"));
        QString shownCaption;
        QString shownText;
        int shownIcon = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownCaption = box->windowTitle();
            shownText = box->text();
            shownIcon = int(box->icon());
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->accept();
        });
        const QString text = QStringLiteral("Broken\r\nin Form1 at line 100\r\rPlease");
        if (report)
            prompter.errorReport(text);
        else
            prompter.message(text);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shownText, QStringLiteral("Broken\nin Form1 at line 100\n\nPlease"));
    }

    void fileDialogFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a pattern with an extension stays") << "Text Files (*.txt)"
                                                           << "Text Files (*.txt)";
        QTest::newRow("*.* takes names without a dot too") << "All Files (*.*)"
                                                           << "All Files (*)";
    }

    void fileDialogFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QCOMPARE(WidgetPrompter::dialogFilter(filter), shown);
    }

    void terminationSignalClosesTheWindowAndStoresTheList_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void terminationSignalClosesTheWindowAndStoresTheList()
    {
        QFETCH(int, signalNumber);
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.show();
        window.domainList().append({QStringLiteral("kept.com"), QStringLiteral("also.com")});
        ShutdownSignals shutdown;
        QVERIFY(shutdown.isActive());
        connect(&shutdown, &ShutdownSignals::shutdownRequested, &window, [&window](int) { window.close(); });
        ::raise(signalNumber);
        QTRY_VERIFY(window.isClosing());
        QVERIFY(!window.isVisible());
        QCOMPARE(harness.storedSetting(QStringLiteral("Zip Codes")).toString(), QStringLiteral("kept.com;also.com"));
    }

    void handPointerComesFromTheCursorFile()
    {
        WindowHarness shipped;
        MainWindow& withCursor = shipped.load();
        QVERIFY(withCursor.hasHandCursor());
        withCursor.pointer().setShape(PointerShape::Hand);
        QCOMPARE(withCursor.cursor().shape(), Qt::BitmapCursor);

        WindowHarness missing;
        missing.makeApplicationFolder({QStringLiteral("dbWords.mdb"), QStringLiteral("mit.col")});
        MainWindow& withoutCursor = missing.load();
        QVERIFY(!withoutCursor.hasHandCursor());
        withoutCursor.pointer().setShape(PointerShape::Hand);
        QCOMPARE(withoutCursor.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(missing.prompter.shown().isEmpty());
    }

    void damagedCursorFileIsReportedAndStartUpGoesOn()
    {
        WindowHarness harness;
        const QString folder =
            harness.makeApplicationFolder({QStringLiteral("dbWords.mdb"), QStringLiteral("mit.col")});
        testfiles::writeBytes(folder + QStringLiteral("/HAND-M.CUR"), "not a cursor");
        MainWindow& window = harness.load();
        QVERIFY(!window.hasHandCursor());
        const QStringList reports = harness.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports[0].contains(QStringLiteral("Form_Load at line 106")));
        QCOMPARE(window.resultList().caption(), QStringLiteral("Results"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
