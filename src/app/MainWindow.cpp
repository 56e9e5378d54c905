#include "MainWindow.h"

#include "CursorFile.h"
#include "ListSplittingRun.h"
#include "ProgressBarIndicator.h"
#include "QtClipboard.h"
#include "RowHeader.h"
#include "ShellTexts.h"
#include "Twips.h"
#include "WhiteFrameStyle.h"
#include "WholeAreaButton.h"
#include "WidgetPrompter.h"
#include "WindowEventFilter.h"
#include "WindowPointer.h"
#include "WordsAside.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Locations.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDatabase.h"
#include "engine/WordLists.h"
#include "input/DomainListCommands.h"
#include "output/LibreOfficeCalc.h"
#include "output/OutputCommands.h"
#include "text/TextFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>

#include <algorithm>
#include <vector>

namespace quorvane {

namespace {

const QString listToolTip =
    QStringLiteral("Double-click item to remove it. Move | line to right and out of window to reveal full names.");
constexpr int columnWidthTwips = 7000;
constexpr int maxBestSplits = 1000;
const QColor beyondListColour(0xb3, 0x59, 0x00);

QFont controlFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

// Sets the colour behind a window, frame, option button or check box. Buttons fill with their own role's
// colour, so that role is set too.
void setBackground(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(widget.backgroundRole(), colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void setWhiteBackground(QWidget& widget)
{
    setBackground(widget, Qt::white);
}

// A normal file: present and not a folder.
bool isNormalFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/quorvane.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

MainWindow::MainWindow(const MainWindowSetup& setup, QWidget* parent)
    : QWidget(parent), m_applicationFolder(setup.applicationFolder),
      m_applicationTitle(provisionalApplicationTitle(productTitle))
{
    if (!setup.prompter)
        m_ownPrompter = std::make_unique<WidgetPrompter>(m_applicationTitle, this);
    m_prompter = setup.prompter ? setup.prompter : m_ownPrompter.get();
    if (!setup.eventPump)
        m_ownEventPump = std::make_unique<TimeSlicedEventPump>();
    m_eventPump = setup.eventPump ? setup.eventPump : m_ownEventPump.get();
    // An export or a copy in its yield when the window closes stops there, so that the program ends.
    m_outputPump = std::make_unique<StoppingEventPump>(*m_eventPump, [this] { return m_closing; });
    if (!setup.settings)
        m_ownSettings = std::make_unique<Settings>();
    m_settings = setup.settings ? setup.settings : m_ownSettings.get();
    // Choices are written behind the window; one that could not be is told when the writer finds out.
    m_settings->onWriteFailure([this](const QString& message) { m_prompter->message(message); });
    m_pointer = std::make_unique<WindowPointer>(*this);

    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    m_progress = std::make_unique<ProgressBarIndicator>(*m_progressBar);
    if (!setup.clipboard)
        m_ownClipboard = std::make_unique<QtClipboard>();
    m_clipboard = setup.clipboard ? setup.clipboard : m_ownClipboard.get();
    if (!setup.spreadsheet)
        m_ownSpreadsheet = std::make_unique<LibreOfficeCalc>(
            m_applicationFolder.isEmpty() ? QString() : m_applicationFolder + QStringLiteral("/libquorvane_calc.so"));
    m_spreadsheet = setup.spreadsheet ? setup.spreadsheet : m_ownSpreadsheet.get();
}

MainWindow::~MainWindow()
{
    m_settings->onWriteFailure({});
}

Pointer& MainWindow::pointer()
{
    return *m_pointer;
}

EntryProcessor& MainWindow::entryProcessor()
{
    if (!m_entryProcessor)
        m_entryProcessor = std::make_unique<EntryProcessor>(*m_dictionary, m_applicationFolder);
    return *m_entryProcessor;
}

bool MainWindow::hasHandCursor() const
{
    return m_pointer->hasHandCursor();
}

void MainWindow::buildControls()
{
    m_events = std::make_unique<WindowEventFilter>(*m_pointer);
    const double dpi = logicalDpiY();
    const auto place = [dpi](QWidget* widget, const char* name, int left, int top, int width, int height) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(twipsToPixels(left, top, width, height, dpi));
    };
    const auto makeButton = [&](QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                                int height) {
        auto* button = new QPushButton(caption, parent);
        place(button, name, left, top, width, height);
        button->setFont(buttonFont());
        button->setMouseTracking(true);
        m_events->watch(button);
        return button;
    };
    const auto makeList = [&](const char* name, TextListModel& model, int left, int top, int width, int height) {
        // A report-style list: one captioned column, rows of one height. A table view keeps its rows in its
        // header's plain size list, so adding rows to a long list costs next to nothing to lay out.
        auto* view = new QTableView(this);
        place(view, name, left, top, width, height);
        view->setFont(controlFont());
        view->setVerticalHeader(new RowHeader(view));
        view->setModel(&model);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setTabKeyNavigation(false);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        QHeaderView* rows = view->verticalHeader();
        rows->hide();
        rows->setSectionResizeMode(QHeaderView::Fixed);
        rows->setDefaultSectionSize(view->fontMetrics().height() + 2);
        QHeaderView* columns = view->horizontalHeader();
        columns->setStretchLastSection(false);
        columns->setHighlightSections(false);
        columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        columns->setFont(controlFont());
        view->setToolTip(listToolTip);
        m_events->watch(view);
        m_events->watch(view->viewport());
        view->viewport()->setMouseTracking(true);
        m_events->watch(columns);
        columns->setMouseTracking(true);
        return view;
    };
    const auto makeFrame = [&](const char* name, const QString& caption, int left, int top, int width, int height) {
        auto* frame = new QGroupBox(caption, this);
        place(frame, name, left, top, width, height);
        frame->setFont(controlFont());
        setWhiteBackground(*frame);
        frame->setMouseTracking(true);
        m_events->watchBackground(frame);
        return frame;
    };
    const auto makeOption = [&](const char* name, const QString& caption, int left, int top, int width, int height) {
        auto* option = new WholeAreaButton<QRadioButton>(caption, m_wordListFrame);
        place(option, name, left, top, width, height);
        option->setFont(controlFont());
        setWhiteBackground(*option);
        return option;
    };

    // The display frame holds the choice of splits below the display option: the controls below it and the
    // window are lower by as much, and the result list longer.
    constexpr int grown = 600;
    setFixedSize(twipsToPixels(15960, dpi), twipsToPixels(7005 + grown, dpi));
    setWhiteBackground(*this);
    setMouseTracking(true);
    m_events->watchBackground(this);

    m_help = makeButton(this, "PushButton8", QStringLiteral("Help"), 120, 120, 7800, 405);
    m_domainView = makeList("ListView1", m_domainList, 120, 630, 7800, 2535);
    m_addDomain = makeButton(this, "PushButton6", QStringLiteral("Add Domain Name"), 120, 3255, 3840, 405);
    m_loadDomains =
        makeButton(this, "PushButton3", QStringLiteral("Load Domains From Text File"), 4080, 3255, 3840, 405);
    m_clearList = makeButton(this, "PushButton1", QStringLiteral("Clear List"), 120, 3765, 3840, 405);
    m_samples = makeButton(this, "PushButton7", QStringLiteral("Load Sample/Example Domains"), 4080, 3765, 3840, 405);
    m_displayFrame = makeFrame("Frame1", QStringLiteral("Display Option"), 120, 4215, 7800, 735 + grown);
    const auto makeInFrame = [&]<typename Control>(Control* control, const char* name, int left, int top, int width,
                                                   int height) {
        place(control, name, left, top, width, height);
        control->setFont(controlFont());
        setWhiteBackground(*control);
        return control;
    };
    m_showOriginal = makeInFrame(
        new WholeAreaButton<QCheckBox>(QStringLiteral("Show original domain name in results also"), m_displayFrame),
        "Check5", 240, 300, 5085, 285);
    m_everySplit = makeInFrame(new WholeAreaButton<QRadioButton>(QStringLiteral("Every split"), m_displayFrame),
                               "EverySplit", 240, 640, 2280, 255);
    m_likeliestSplits =
        makeInFrame(new WholeAreaButton<QRadioButton>(QStringLiteral("Likeliest splits, best:"), m_displayFrame),
                    "LikeliestSplits", 2640, 640, 3000, 255);
    m_bestSplits = makeInFrame(new QSpinBox(m_displayFrame), "BestSplits", 5700, 600, 900, 330);
    m_bestSplits->setRange(1, maxBestSplits);
    m_everySplit->setChecked(true);
    m_rankResultsBox =
        makeInFrame(new WholeAreaButton<QCheckBox>(QStringLiteral("Most Likely Splits First"), m_displayFrame),
                    "RankResultsBox", 240, 980, 3300, 285);
    m_caseHints =
        makeInFrame(new WholeAreaButton<QCheckBox>(QStringLiteral("Cut where the case changes"), m_displayFrame),
                    "CaseHints", 3660, 980, 3900, 285);
    m_wordListFrame = makeFrame("Frame2", QStringLiteral("Word List Option"), 120, 4995 + grown, 7800, 1380);
    m_wordList1 = makeOption("Option1", QStringLiteral("Word List #1"), 240, 300, 3330, 255);
    m_wordList2 = makeOption("Option2", QStringLiteral("Word List #2"), 240, 650, 2535, 255);
    m_wordList3 = makeOption("Option3", QStringLiteral("Word List #3"), 240, 1000, 2535, 255);
    m_wordList1->setChecked(true);
    m_wordListHelp = makeButton(m_wordListFrame, "PushButton10", QStringLiteral("?"), 7080, 270, 480, 405);
    // The user's own words, beside the lists they change.
    for (auto [button, name, caption, top] : {std::tuple{&m_addWords, "AddWords", "Add Words From File...", 270},
                                              {&m_dropWords, "DropWords", "Drop Words From File...", 620},
                                              {&m_forgetWords, "ForgetWords", "Forget Added/Dropped Words", 970}}) {
        *button = makeButton(m_wordListFrame, name, QString::fromLatin1(caption), 3780, top, 3180, 360);
        (*button)->setFont(controlFont());
    }
    // White inside, as the design has them. Made after the frames, so that it goes after them too.
    auto* frameStyle = new WhiteFrameStyle;
    frameStyle->setParent(this);
    m_displayFrame->setStyle(frameStyle);
    m_wordListFrame->setStyle(frameStyle);
    m_startSplitting = makeButton(this, "PushButton9", QStringLiteral("Start Splitting"), 120, 6490 + grown, 7800, 405);
    m_resultView = makeList("ListView2", m_resultList, 8040, 120, 7800, 5235 + grown);
    // A row whose split holds a piece beyond the word list (a letter spelled alone, a stretch no list holds)
    // stands out in its colour; its text stays as it is for the exports.
    m_resultList.setFlaggedData(Qt::ForegroundRole, beyondListColour);
    m_resultList.setFlaggedData(Qt::ToolTipRole,
                                listToolTip + QStringLiteral("\nThis split holds letters spelled one "
                                                             "by one or a stretch no word list holds."));
    m_events->setLists({m_domainView, &m_domainList},
                       {m_resultView, &m_resultList, [this] { return m_output && m_output->refuseWhileExporting(); }});
    m_rankResults = new QAction(QStringLiteral("Most Likely Splits First"), m_resultView);
    m_rankResults->setObjectName(QStringLiteral("RankResults"));
    m_rankResults->setCheckable(true);
    m_resultView->addAction(m_rankResults);
    m_resultView->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_saveText =
        makeButton(this, "PushButton4", QStringLiteral("Save Results As Text File"), 8040, 5460 + grown, 3840, 405);
    m_saveSpreadsheet =
        makeButton(this, "PushButton13", QStringLiteral("Save Results As Excel File"), 12000, 5460 + grown, 3840, 405);
    m_copyClipboard =
        makeButton(this, "PushButton5", QStringLiteral("Copy Results To Clipboard"), 8040, 5970 + grown, 3840, 405);
    m_clearResults = makeButton(this, "PushButton2", QStringLiteral("Clear Results"), 12000, 5970 + grown, 3840, 405);
    m_progressBar = new CaptionProgressBar(this);
    place(m_progressBar, "ProgressBar1", 8040, 6490 + grown, 7800, 405);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setCaption(QStringLiteral("Progress Bar"));
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progressBar->setTextVisible(true);

    setTabOrder();

    connect(m_clearList, &QPushButton::clicked, this, &MainWindow::PushButton1_Click);
    connect(m_clearResults, &QPushButton::clicked, this, &MainWindow::PushButton2_Click);
    connect(m_loadDomains, &QPushButton::clicked, this, &MainWindow::PushButton3_Click);
    connect(m_saveText, &QPushButton::clicked, this, &MainWindow::PushButton4_Click);
    connect(m_copyClipboard, &QPushButton::clicked, this, &MainWindow::PushButton5_Click);
    connect(m_addDomain, &QPushButton::clicked, this, &MainWindow::PushButton6_Click);
    connect(m_samples, &QPushButton::clicked, this, &MainWindow::PushButton7_Click);
    connect(m_help, &QPushButton::clicked, this, &MainWindow::PushButton8_Click);
    connect(m_startSplitting, &QPushButton::clicked, this, &MainWindow::PushButton9_Click);
    connect(m_wordListHelp, &QPushButton::clicked, this, &MainWindow::PushButton10_Click);
    connect(m_saveSpreadsheet, &QPushButton::clicked, this, &MainWindow::PushButton13_Click);
    connect(m_wordList1, &QRadioButton::clicked, this, &MainWindow::Option1_Click);
    connect(m_wordList2, &QRadioButton::clicked, this, &MainWindow::Option2_Click);
    connect(m_wordList3, &QRadioButton::clicked, this, &MainWindow::Option3_Click);
    connect(m_showOriginal, &QCheckBox::clicked, this, &MainWindow::Check5_Click);
    connect(m_rankResults, &QAction::triggered, this, &MainWindow::RankResults_Click);
    connect(m_rankResultsBox, &QCheckBox::clicked, m_rankResults, &QAction::trigger);
    connect(m_rankResults, &QAction::toggled, m_rankResultsBox, &QCheckBox::setChecked);
    connect(m_everySplit, &QRadioButton::clicked, this, &MainWindow::LikeliestSplits_Click);
    connect(m_likeliestSplits, &QRadioButton::clicked, this, &MainWindow::LikeliestSplits_Click);
    connect(m_bestSplits, &QSpinBox::valueChanged, this, &MainWindow::BestSplits_Change);
    connect(m_caseHints, &QCheckBox::clicked, this, &MainWindow::CaseHints_Click);
    connect(m_addWords, &QPushButton::clicked, this, [this] { chooseUserWords(UserWordsFile::Add); });
    connect(m_dropWords, &QPushButton::clicked, this, [this] { chooseUserWords(UserWordsFile::Drop); });
    connect(m_forgetWords, &QPushButton::clicked, this, &MainWindow::forgetUserWords);
}

void MainWindow::setTabOrder()
{
    // The keyboard order of the design's tab indexes; frames and the progress bar take no focus.
    const std::vector<QWidget*> order = {m_domainView,     m_resultView,     m_addDomain,       m_loadDomains,
                                         m_clearList,      m_startSplitting, m_saveText,        m_saveSpreadsheet,
                                         m_clearResults,   m_progressBar,    m_copyClipboard,   m_displayFrame,
                                         m_showOriginal,   m_everySplit,     m_likeliestSplits, m_bestSplits,
                                         m_rankResultsBox, m_caseHints,      m_samples,         m_help,
                                         m_wordListFrame,  m_wordList2,      m_wordList1,       m_wordList3,
                                         m_wordListHelp,   m_addWords,       m_dropWords,       m_forgetWords};
    std::vector<QWidget*> focusable;
    std::copy_if(order.begin(), order.end(), std::back_inserter(focusable),
                 [](QWidget* widget) { return widget->focusPolicy() & Qt::TabFocus; });
    for (size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1], focusable[i]);
}

bool MainWindow::Form_Load()
{
    ErrorTrap trap(location::formLoad, *m_prompter);
    const QString databasePath = m_applicationFolder + QStringLiteral("/dbWords.mdb");

    if (trap.test(100, [&] { return !isNormalFile(databasePath); })) {
        m_prompter->message(databasePath + QStringLiteral(" not found."));
        return false;
    }
    trap.step(102, [&] { ApplySkin(); });
    trap.step(104, [&] {
        setWindowTitle(productTitle);
        setWindowIcon(applicationIcon());
        SetApplicationTitle();
    });
    trap.step(106, [&] {
        if (fileExists(m_applicationFolder + QStringLiteral("/HAND-M.CUR")))
            loadHandCursor();
    });
    trap.step(108, [&] { m_database = std::make_unique<WordDatabase>(databasePath); });
    trap.step(110, [&] { m_dictionary->clear(); });
    trap.step(112, [&] { m_pointer->setShape(PointerShape::Busy); });
    trap.step(114, [&] {
        m_userWordFiles[int(UserWordsFile::Add)].path = m_settings->addWordsFile();
        m_userWordFiles[int(UserWordsFile::Drop)].path = m_settings->dropWordsFile();
        bool isNumber = false;
        const double chosen = m_settings->option().trimmed().toDouble(&isNumber);
        if (!isNumber)
            throw Failure(QStringLiteral("Type mismatch"));
        if (chosen == 1 || chosen == 2 || chosen == 3)
            selectWordList(static_cast<int>(chosen));
    });
    trap.step(116, [&] { loadSelectedWords(false); });
    trap.step(118, [&] { m_pointer->setShape(PointerShape::Default); });
    trap.step(120, [&] {
        m_domainList.setCaption(QStringLiteral("Domain Name(s)"));
        m_domainView->horizontalHeader()->resizeSection(0, twipsToPixels(columnWidthTwips, logicalDpiX()));
    });
    trap.step(122, [&] {
        bool isNumber = false;
        const double shown = m_settings->showOriginal().trimmed().toDouble(&isNumber);
        m_showOriginal->setChecked(isNumber && shown == 1);
    });
    trap.step(124, [&] {
        m_resultList.setCaption(QStringLiteral("Results"));
        m_resultView->horizontalHeader()->resizeSection(0, twipsToPixels(columnWidthTwips, logicalDpiX()));
        m_rankResults->setChecked(m_settings->rankResults().trimmed() == QStringLiteral("1"));
        const bool likeliest = m_settings->likeliestSplits().trimmed() == QStringLiteral("1");
        (likeliest ? m_likeliestSplits : m_everySplit)->setChecked(true);
        const int best = m_settings->bestSplits().trimmed().toInt();
        const QSignalBlocker restoring(m_bestSplits); // nothing to store
        m_bestSplits->setValue(best >= 1 && best <= maxBestSplits ? best : 1);
        m_caseHints->setChecked(m_settings->caseHints().trimmed() == QStringLiteral("1"));
        showSplitChoice();
    });
    trap.step(126, [&] {
        const QString stored = m_settings->domainList();
        if (stored.isEmpty())
            return;
        m_domainList.append(stored.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    });
    return true;
}

void MainWindow::ApplySkin()
{
    if (!isNormalFile(m_applicationFolder + QStringLiteral("/x/o.cjs")))
        return;
    // Without a skin engine only the colour change of the skinned design remains.
    const QColor face = palette().color(QPalette::Button);
    for (QWidget* widget : std::initializer_list<QWidget*>{this, m_displayFrame, m_wordListFrame, m_showOriginal,
                                                           m_everySplit, m_likeliestSplits, m_rankResultsBox,
                                                           m_caseHints, m_wordList1, m_wordList2, m_wordList3})
        setBackground(*widget, face);
    m_skinned = true;
}

void MainWindow::SetApplicationTitle()
{
    m_applicationTitle = applicationTitleFor(productTitle);
    if (m_ownPrompter)
        m_ownPrompter->setTitle(m_applicationTitle);
    QCoreApplication::setApplicationName(m_applicationTitle);
}

void MainWindow::loadHandCursor()
{
    const CursorImage hand = readCursorFile(m_applicationFolder + QStringLiteral("/HAND-M.CUR"));
    m_pointer->setHandCursor(QCursor(QPixmap::fromImage(hand.image), hand.hotspot.x(), hand.hotspot.y()));
}

void MainWindow::selectWordList(int listNumber)
{
    switch (listNumber) {
    case 2:
        m_wordList2->setChecked(true);
        break;
    case 3:
        m_wordList3->setChecked(true);
        break;
    default:
        m_wordList1->setChecked(true);
        break;
    }
}

int MainWindow::selectedWordList() const
{
    if (m_wordList2->isChecked())
        return 2;
    if (m_wordList3->isChecked())
        return 3;
    return 1;
}

void MainWindow::loadSelectedWords(bool serveWindow)
{
    // A list chosen during another's load (in its yields) is loaded once that load is done.
    if (m_loadingWords) {
        m_wordsChosenAgain = true;
        return;
    }
    m_loadingWords = true;
    const auto loaded = qScopeGuard([this] { m_loadingWords = false; });
    do {
        m_wordsChosenAgain = false;
        m_pointer->setShape(PointerShape::Busy);
        // The words and their index are made off the window's thread, which serves the window meanwhile.
        LoadedWords words =
            loadWordsAside(static_cast<WordListChoice>(selectedWordList()), readUserWords(), m_database.get(),
                           m_applicationFolder, *m_prompter, serveWindow ? m_eventPump : nullptr);
        // A run in progress splits with the new words from its next entry; its jobs stop before the old
        // words go.
        if (m_splittingRun)
            m_splittingRun->useProcessor(*words.processor);
        std::swap(m_entryProcessor, words.processor);
        std::swap(m_dictionary, words.dictionary);
        m_oldWords.drop(std::move(words));
        m_pointer->setShape(PointerShape::Default);
    } while (m_wordsChosenAgain);
    // "Start Splitting" pressed during the load starts now, on the new words.
    if (std::exchange(m_startAfterWords, false))
        QMetaObject::invokeMethod(this, &MainWindow::PushButton9_Click, Qt::QueuedConnection);
}

void MainWindow::Form_QueryUnload()
{
    ErrorTrap trap(location::formQueryUnload, *m_prompter);
    QString joined;
    trap.step(100, [&] { joined.clear(); });
    // Every entry is kept, however long the list.
    trap.step(102, [&] { joined = m_domainList.texts().join(QLatin1Char(';')); });
    trap.step(104, [&] { m_settings->storeDomainList(joined); });
    trap.step(106, [&] { QCoreApplication::processEvents(); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    m_closing = true;
    event->accept();
}

void MainWindow::storeSetting(const std::function<void()>& store)
{
    // These handlers have no error trap, and a failure must not leave a Qt slot: a settings store that cannot
    // be written is told in a plain message, and the command goes on.
    try {
        store();
    } catch (const Failure& failure) {
        m_prompter->message(failure.description());
    }
}

void MainWindow::Option1_Click()
{
    storeSetting([&] { m_settings->storeOption(1); });
    loadSelectedWords();
}

void MainWindow::Option2_Click()
{
    storeSetting([&] { m_settings->storeOption(2); });
    loadSelectedWords();
}

void MainWindow::Option3_Click()
{
    storeSetting([&] { m_settings->storeOption(3); });
    loadSelectedWords();
}

void MainWindow::Check5_Click()
{
    storeSetting([&] { m_settings->storeShowOriginal(m_showOriginal->isChecked()); });
}

void MainWindow::RankResults_Click()
{
    storeSetting([&] { m_settings->storeRankResults(m_rankResults->isChecked()); });
}

void MainWindow::LikeliestSplits_Click()
{
    storeSetting([&] { m_settings->storeLikeliestSplits(m_likeliestSplits->isChecked()); });
    showSplitChoice();
}

void MainWindow::showSplitChoice()
{
    const bool likeliest = m_likeliestSplits->isChecked();
    m_bestSplits->setEnabled(likeliest);
    m_caseHints->setEnabled(likeliest);
    // The likeliest splits always come most likely first.
    m_rankResultsBox->setEnabled(!likeliest);
}

void MainWindow::BestSplits_Change(int count)
{
    storeSetting([&] { m_settings->storeBestSplits(count); });
}

void MainWindow::CaseHints_Click()
{
    storeSetting([&] { m_settings->storeCaseHints(m_caseHints->isChecked()); });
}

ListSplittingRun::Options MainWindow::runOptions() const
{
    ListSplittingRun::Options options{m_showOriginal->isChecked(),
                                      m_rankResults->isChecked() ? SplitOrder::Ranked : SplitOrder::Search};
    if (m_likeliestSplits->isChecked()) {
        options.best = m_bestSplits->value();
        options.caseHints = m_caseHints->isChecked();
    }
    return options;
}

UserWords MainWindow::readUserWords()
{
    for (const UserWordsFile which : {UserWordsFile::Add, UserWordsFile::Drop}) {
        UserWordFile& file = m_userWordFiles[int(which)];
        if (file.path.isEmpty()) {
            file.words.clear();
            continue;
        }
        try {
            file.words = UserWords::readFile(file.path);
        } catch (const Failure& failure) {
            m_prompter->message(
                QStringLiteral("%1\r\nThe words last read from it are used.").arg(failure.description()));
        }
    }
    showUserWordFiles();
    return UserWords{m_userWordFiles[int(UserWordsFile::Add)].words, m_userWordFiles[int(UserWordsFile::Drop)].words};
}

void MainWindow::showUserWordFiles()
{
    const auto shown = [](const QString& what, const QString& path) {
        return path.isEmpty() ? what : what + QStringLiteral("\nNow: ") + path;
    };
    m_addWords->setToolTip(shown(QStringLiteral("Adds the words of a text file, one a line, to the word list"),
                                 m_userWordFiles[int(UserWordsFile::Add)].path));
    m_dropWords->setToolTip(shown(QStringLiteral("Leaves the words of a text file, one a line, out of the word list"),
                                  m_userWordFiles[int(UserWordsFile::Drop)].path));
    m_forgetWords->setEnabled(!m_userWordFiles[0].path.isEmpty() || !m_userWordFiles[1].path.isEmpty());
}

void MainWindow::chooseUserWords(UserWordsFile which)
{
    const bool adding = which == UserWordsFile::Add;
    const QStringList paths =
        m_prompter->openFileNames({adding ? QStringLiteral("Words to Add") : QStringLiteral("Words to Drop"),
                                   {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")}});
    if (paths.isEmpty())
        return;
    UserWordFile chosen{paths.first(), {}};
    try {
        chosen.words = UserWords::readFile(chosen.path);
    } catch (const Failure& failure) {
        m_prompter->message(failure.description() + QStringLiteral("\r\nThe word list is unchanged."));
        return;
    }
    m_userWordFiles[int(which)] = chosen;
    storeSetting(
        [&] { adding ? m_settings->storeAddWordsFile(chosen.path) : m_settings->storeDropWordsFile(chosen.path); });
    loadSelectedWords();
}

void MainWindow::forgetUserWords()
{
    for (UserWordFile& file : m_userWordFiles)
        file = {};
    storeSetting([&] {
        m_settings->storeAddWordsFile(QString());
        m_settings->storeDropWordsFile(QString());
    });
    loadSelectedWords();
}

void MainWindow::PushButton8_Click()
{
    ErrorTrap trap(location::helpClick, *m_prompter);
    trap.step(100, [&] { m_prompter->message(helpText()); });
}

void MainWindow::PushButton10_Click()
{
    ErrorTrap trap(location::wordListHelpClick, *m_prompter);
    trap.step(100, [&] {
        m_prompter->message(wordListHelpText(m_wordList1->text(), m_wordList2->text(), m_wordList3->text()));
    });
}

void MainWindow::PushButton9_Click()
{
    // A click during the run's own yield would start a run inside the run: it is ignored. One during an
    // export's yield is refused: the export reads the results that a run would replace.
    if (m_splittingRun || (m_output && m_output->refuseWhileExporting()))
        return;
    if (m_loadingWords) {
        m_startAfterWords = true;
        return;
    }
    ErrorTrap trap(location::startSplittingClick, *m_prompter);
    ListSplittingRun run(entryProcessor(), m_domainList, m_resultList,
                         ListSplittingRun::Seams{*m_prompter, *m_eventPump, *m_pointer, *m_progress},
                         [this] { return runOptions(); });
    m_splittingRun = &run;
    const auto finished = qScopeGuard([this] { m_splittingRun = nullptr; });
    run.run(
        trap, [this] { return m_closing; }, [this] { scrollResultsToEnd(); });
}

void MainWindow::PushButton3_Click()
{
    loadDomainFiles(m_domainList, *m_prompter, *m_pointer);
}

void MainWindow::PushButton6_Click()
{
    addTypedDomain(m_domainList, *m_prompter);
}

void MainWindow::PushButton7_Click()
{
    addSampleDomains(m_domainList, *m_prompter);
}

void MainWindow::PushButton1_Click()
{
    clearDomainList(m_domainList, *m_prompter, *m_pointer);
}

// The output commands: saving, copying, the spreadsheet export and clearing the results.
OutputCommands& MainWindow::output()
{
    if (!m_output)
        m_output = std::make_unique<OutputCommands>(*m_prompter, *m_pointer, *m_outputPump, m_progress.get(),
                                                    *m_clipboard, *m_spreadsheet);
    return *m_output;
}

void MainWindow::PushButton4_Click()
{
    output().PushButton4_Click(m_resultList);
}

void MainWindow::PushButton5_Click()
{
    output().PushButton5_Click(m_resultList);
}

void MainWindow::PushButton13_Click()
{
    output().PushButton13_Click(m_resultList);
}

void MainWindow::PushButton2_Click()
{
    output().PushButton2_Click(m_resultList);
}

void MainWindow::scrollResultsToEnd()
{
    // Scrolling lays the whole list out, so it waits until the window next takes its events: once per
    // time slice of the run rather than once per entry.
    if (m_scrollPending)
        return;
    m_scrollPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scrollPending = false;
            // The view lays out new rows later: its scroll range would still end where the list ended before.
            m_resultView->doItemsLayout();
            m_resultView->scrollToBottom();
        },
        Qt::QueuedConnection);
}

} // namespace quorvane
