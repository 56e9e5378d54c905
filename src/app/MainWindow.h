#pragma once

#include "ListSplittingRun.h"
#include "Settings.h"
#include "WordsAside.h"
#include "core/EventPump.h"
#include "engine/UserWords.h"
#include "engine/WordDictionary.h"
#include "model/TextListModel.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace quorvane {

class CaptionProgressBar;
class Clipboard;
class OutputCommands;
class Pointer;
class ProgressIndicator;
class SpreadsheetApplication;
class Prompter;
class WidgetPrompter;
class WindowPointer;
class WindowEventFilter;
class EntryProcessor;
class WordDatabase;

// What the window is built with; null members get the program's own.
struct MainWindowSetup
{
    QString applicationFolder;
    Prompter* prompter = nullptr;
    EventPump* eventPump = nullptr;
    Settings* settings = nullptr;
    Clipboard* clipboard = nullptr;                // else the system clipboard
    SpreadsheetApplication* spreadsheet = nullptr; // else LibreOffice Calc through the plugin beside the program
};

// The program's one window (Form1): its layout, start-up, settings and command handlers.
class MainWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(const MainWindowSetup& setup, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up. Returns false when the program must end without showing the window (no word database).
    bool Form_Load();
    // Stores the DomainList; runs when the window is asked to close, for any reason, and when the desktop
    // session ends (which may still be cancelled, so it can run more than once).
    void Form_QueryUnload();

    TextListModel& domainList() { return m_domainList; }
    TextListModel& resultList() { return m_resultList; }
    Prompter& prompter() { return *m_prompter; }
    Pointer& pointer();
    EventPump& eventPump() { return *m_eventPump; }
    ProgressIndicator& progress() { return *m_progress; }
    WordDictionary& dictionary() { return *m_dictionary; }
    SpreadsheetApplication& spreadsheet() { return *m_spreadsheet; }
    const QString& applicationFolder() const { return m_applicationFolder; }
    const QString& applicationTitle() const { return m_applicationTitle; }
    bool hasHandCursor() const;
    bool isSkinned() const { return m_skinned; }
    // The Results list's context menu entry "Most Likely Splits First".
    QAction* rankResultsAction() const { return m_rankResults; }
    // True once the window has been asked to close: long commands stop at their next yield.
    bool isClosing() const { return m_closing; }

    enum class UserWordsFile
    {
        Add,
        Drop,
    };

public slots:
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton13_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Check5_Click();
    // The Results list's "Most Likely Splits First" was chosen: stores whether it is now checked.
    void RankResults_Click();
    // Every split or the likeliest ones was chosen, how many, or whether case changes cut: each is stored.
    void LikeliestSplits_Click();
    void BestSplits_Change(int count);
    void CaseHints_Click();
    // The user's words: a file of words to add or to drop is asked for and read; when it can be read it is
    // stored and the list loaded anew with it, else the failure is told and nothing changes.
    void chooseUserWords(UserWordsFile which);
    // Forgets both files and loads the list anew without their words.
    void forgetUserWords();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void ApplySkin();
    void SetApplicationTitle();
    void loadHandCursor();
    void selectWordList(int listNumber);
    int selectedWordList() const;
    // Loads the chosen list off the window's thread; with `serveWindow` the window is served meanwhile.
    void loadSelectedWords(bool serveWindow = true);
    // Reads the user's word files again; a file that cannot be read is told of, and the words last read from it
    // stay.
    UserWords readUserWords();
    void showUserWordFiles();
    // Enables the controls that the chosen kind of splits uses.
    void showSplitChoice();
    // What a run asks of each entry, as the display frame says now.
    ListSplittingRun::Options runOptions() const;
    // Runs a store of a setting for a handler without error trap; a failure is told, not thrown.
    void storeSetting(const std::function<void()>& store);
    // The processor of the window's words, made on first use.
    EntryProcessor& entryProcessor();
    void scrollResultsToEnd();
    OutputCommands& output();

    QString m_applicationFolder;
    QString m_applicationTitle;
    std::unique_ptr<WidgetPrompter> m_ownPrompter;
    std::unique_ptr<TimeSlicedEventPump> m_ownEventPump;
    std::unique_ptr<Settings> m_ownSettings;
    Prompter* m_prompter = nullptr;
    EventPump* m_eventPump = nullptr;
    std::unique_ptr<StoppingEventPump> m_outputPump; // the output commands' yields
    Settings* m_settings = nullptr;
    std::unique_ptr<WindowPointer> m_pointer;
    std::unique_ptr<ProgressIndicator> m_progress;
    std::unique_ptr<Clipboard> m_ownClipboard;
    std::unique_ptr<SpreadsheetApplication> m_ownSpreadsheet;
    Clipboard* m_clipboard = nullptr;
    SpreadsheetApplication* m_spreadsheet = nullptr;
    std::unique_ptr<OutputCommands> m_output;

    TextListModel m_domainList{TextListModel::Marks::None};
    TextListModel m_resultList{TextListModel::Marks::Checkable};
    std::unique_ptr<WordDictionary> m_dictionary = std::make_unique<WordDictionary>();
    std::unique_ptr<WordDatabase> m_database;
    std::unique_ptr<EntryProcessor> m_entryProcessor; // made on the first run, kept for its indexes
    WordsDisposal m_oldWords;

    QPushButton* m_help = nullptr;        // PushButton8
    QTableView* m_domainView = nullptr;   // ListView1
    QPushButton* m_addDomain = nullptr;   // PushButton6
    QPushButton* m_loadDomains = nullptr; // PushButton3
    QPushButton* m_clearList = nullptr;   // PushButton1
    QPushButton* m_samples = nullptr;     // PushButton7
    QGroupBox* m_displayFrame = nullptr;  // Frame1
    QCheckBox* m_showOriginal = nullptr;  // Check5
    QRadioButton* m_everySplit = nullptr;
    QRadioButton* m_likeliestSplits = nullptr;
    QSpinBox* m_bestSplits = nullptr;
    QCheckBox* m_rankResultsBox = nullptr; // "Most Likely Splits First", as the context menu's entry
    QCheckBox* m_caseHints = nullptr;
    QGroupBox* m_wordListFrame = nullptr;  // Frame2
    QRadioButton* m_wordList1 = nullptr;   // Option1
    QRadioButton* m_wordList2 = nullptr;   // Option2
    QRadioButton* m_wordList3 = nullptr;   // Option3
    QPushButton* m_wordListHelp = nullptr; // PushButton10
    QPushButton* m_addWords = nullptr;
    QPushButton* m_dropWords = nullptr;
    QPushButton* m_forgetWords = nullptr;
    QPushButton* m_startSplitting = nullptr;     // PushButton9
    QTableView* m_resultView = nullptr;          // ListView2
    QAction* m_rankResults = nullptr;            // its context menu's "Most Likely Splits First"
    QPushButton* m_saveText = nullptr;           // PushButton4
    QPushButton* m_saveSpreadsheet = nullptr;    // PushButton13
    QPushButton* m_copyClipboard = nullptr;      // PushButton5
    QPushButton* m_clearResults = nullptr;       // PushButton2
    CaptionProgressBar* m_progressBar = nullptr; // ProgressBar1

    // The user's word files, added and dropped, and the words last read from each.
    struct UserWordFile
    {
        QString path;
        QStringList words;
    };
    UserWordFile m_userWordFiles[2];

    bool m_skinned = false;
    std::unique_ptr<WindowEventFilter> m_events; // pointer feedback and removal of list entries
    ListSplittingRun* m_splittingRun = nullptr;  // the run in progress, if any
    bool m_closing = false;
    bool m_loadingWords = false;     // a word list is loading, in the yields of loadSelectedWords()
    bool m_wordsChosenAgain = false; // another list was chosen meanwhile
    bool m_startAfterWords = false;  // "Start Splitting" was pressed meanwhile
    bool m_scrollPending = false;
};

} // namespace quorvane
