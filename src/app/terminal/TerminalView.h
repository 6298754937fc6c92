#pragma once

#include "app/terminal/CommandHistory.h"

#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class DisplayController;
class LogModel;
class LoopbackBar;
class PollFilter;
class LogRowDelegate;
class QCheckBox;
class QCompleter;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSettings;
class SegmentedControl;
class ToggleButton;

// The lower pane of the main window: the live traffic log, SMART or raw mode, the input line
// with its history and completion, searching, saving and clearing the log, and the
// bridge-plug test bar. Every effect goes through the controller; the view keeps only the
// typed text and its history, the hex switch, following the log, the search and whether the
// test bar is open (history and test bar survive restarts).
class TerminalView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString command READ command WRITE setCommand)
    Q_PROPERTY(bool hexInput READ hexInput WRITE setHexInput)
    Q_PROPERTY(bool autoScroll READ autoScroll WRITE setAutoScroll)
    Q_PROPERTY(bool loopbackVisible READ loopbackVisible WRITE setLoopbackVisible)

public:
    // Asks where to save the log, proposing a file name; an empty answer means cancelled.
    using SaveLocationChooser =
        std::function<QString(QWidget* parent, const QString& proposedFileName)>;

    TerminalView(DisplayController& controller, QSettings& store, QWidget* parent = nullptr);

    QString command() const;
    void setCommand(const QString& command);
    bool hexInput() const { return m_hexInput; }
    void setHexInput(bool on);
    bool autoScroll() const { return m_autoScroll; }
    void setAutoScroll(bool on);
    // Following is on but rests while the user reads further up.
    bool followPaused() const { return m_autoScroll && !m_atBottom; }
    bool loopbackVisible() const { return m_loopbackVisible; }
    void setLoopbackVisible(bool on);

    // Sends what is typed: hex bytes in raw mode with "Hex" on, else a command or raw text.
    void sendCommand();
    // Asks for a file and writes the log there; a cancel or a failed write changes nothing.
    void exportLog();
    void setSaveLocationChooser(SaveLocationChooser chooser);
    // Asks, then clears the log if the user agrees.
    void clearLog();
    // What the last save said: "Gesichert: PATH" or why not.
    QString saveResult() const;

    // Opens the search bar and puts the cursor in it.
    void startSearch();
    // Rows of the shown log that contain the search text; the current one is shown.
    int matchCount() const { return m_matches; }
    void findNext();
    void findPrevious();
    void focusInput();
    LogModel* model() const { return m_model; }
    // The height that shows this many log rows, with the pane's bars, at this width.
    int heightForRows(int rows, int width) const;

private:
    QWidget* buildHeader();
    QWidget* buildInputRow();
    void refreshMode();
    void refreshSendEnabled();
    void copySelection() const;
    void copySelectionAsHex() const;
    void resend(const QModelIndex& row);
    void showContextMenu(const QPoint& at);
    QWidget* buildSearchBar();
    // Counted over all rows when the search or the rows as a whole change; a batch of new
    // rows only adds its own.
    int matchesIn(int first, int last) const;
    void recountMatches();
    void showSearchCount();
    void findFrom(int step);
    void recallHistory(bool older);
    CommandHistory& history();
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved();

    DisplayController& m_controller;
    QSettings& m_store;
    LogModel* m_model;
    PollFilter* m_filter;
    SaveLocationChooser m_chooseSaveLocation;
    std::array<CommandHistory, 2> m_histories; // SMART, raw
    LogRowDelegate* m_delegate = nullptr;
    QCompleter* m_completer = nullptr;
    bool m_atBottom = true;
    QPersistentModelIndex m_searchCurrent; // the match shown, if any
    int m_matches = 0;
    int m_ordinal = 0; // the shown match's number, counted from the oldest
    bool m_hexInput = false;
    bool m_autoScroll = true;
    bool m_loopbackVisible = false;
    int m_scrollBeforeRemoval = -1;
    int m_rowsRemoved = 0;

    SegmentedControl* m_mode = nullptr;
    ToggleButton* m_loopbackToggle = nullptr;
    QCheckBox* m_showHex = nullptr;
    QCheckBox* m_follow = nullptr;
    QCheckBox* m_hidePolls = nullptr;
    LoopbackBar* m_loopbackBar = nullptr;
    QWidget* m_loopbackDivider = nullptr;
    QListView* m_list = nullptr;
    QWidget* m_listArea = nullptr;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_input = nullptr;
    QCheckBox* m_hex = nullptr;
    QLabel* m_lineEnding = nullptr;
    QPushButton* m_send = nullptr;
    QLabel* m_saved = nullptr;
    QWidget* m_searchBar = nullptr;
    QLineEdit* m_search = nullptr;
    QLabel* m_searchCount = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
