#include "app/terminal/TerminalView.h"
#include "controller/StoreKeys.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/terminal/CommandVocabulary.h"
#include "app/terminal/LogModel.h"
#include "app/terminal/LogRowDelegate.h"
#include "app/terminal/LoopbackBar.h"
#include "app/terminal/PollFilter.h"
#include "app/widgets/ConfirmationDialog.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/ToggleButton.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/LogExport.h"
#include "controller/TrafficLog.h"
#include "protocol/HexBytes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString& loopbackVisibleKey = StoreKeys::loopbackVisible;
const QString& hidesPollsKey = StoreKeys::terminalHidesPolls;
constexpr int sideMargin = 14;
constexpr int rowMargin = 8;
constexpr int rowSpacing = 12;
constexpr int modeSelectorWidth = 230;
constexpr int listVerticalMargin = 6;

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

const QString& historyKey(bool raw)
{
    return raw ? StoreKeys::terminalHistoryRaw : StoreKeys::terminalHistorySmart;
}

QString chooseWithDialog(QWidget* parent, const QString& proposedFileName)
{
    QFileDialog dialog(parent, TerminalView::tr("Terminal-Protokoll sichern"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(TerminalView::tr("Textdateien (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(proposedFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

TerminalView::TerminalView(DisplayController& controller, QSettings& store, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_store(store)
    , m_model(new LogModel(controller, this))
    , m_filter(new PollFilter(this))
    , m_chooseSaveLocation(chooseWithDialog)
    , m_histories{CommandHistory(store.value(historyKey(false)).toStringList()),
                  CommandHistory(store.value(historyKey(true)).toStringList())}
    , m_loopbackVisible(store.value(loopbackVisibleKey, false).toBool())
{
    m_loopbackBar = new LoopbackBar(controller, this);
    m_loopbackDivider = divider(this);

    m_filter->setSourceModel(m_model);
    m_filter->setHidesPolls(store.value(hidesPollsKey, false).toBool());
    m_list = new QListView(this);
    m_list->setModel(m_filter);
    m_delegate = new LogRowDelegate(m_list);
    m_list->setItemDelegate(m_delegate);
    // All rows are one line high: the view need not measure 2000 rows after every batch.
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setFrameShape(QFrame::NoFrame);
    auto* copy = new QAction(m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &TerminalView::copySelection);
    m_list->addAction(copy);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListView::customContextMenuRequested, this, &TerminalView::showContextMenu);
    // Following rests while the user reads further up and goes on once back at the bottom.
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_atBottom = value >= m_list->verticalScrollBar()->maximum();
        if (m_follow)
            m_follow->setText(followPaused() ? tr("Mitlaufen (angehalten)") : tr("Mitlaufen"));
    });

    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &TerminalView::startSearch);
    addAction(find);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(divider(this));
    column->addWidget(m_loopbackBar);
    column->addWidget(m_loopbackDivider);
    column->addWidget(buildSearchBar());
    // The list's margin above and below, on the list's own background.
    m_listArea = new QWidget(this);
    m_listArea->setBackgroundRole(QPalette::Base);
    m_listArea->setAutoFillBackground(true);
    auto* listMargins = new QVBoxLayout(m_listArea);
    listMargins->setContentsMargins(0, listVerticalMargin, 0, listVerticalMargin);
    listMargins->addWidget(m_list);
    column->addWidget(m_listArea, 1);
    column->addWidget(divider(this));
    column->addWidget(buildInputRow());

    // The rows as shown: with polls hidden, fewer than the model's.
    connect(m_filter, &PollFilter::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { rowsInserted(first, last); });
    connect(m_filter, &PollFilter::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsAboutToBeRemoved(first, last); });
    connect(m_filter, &PollFilter::rowsRemoved, this, &TerminalView::rowsRemoved);
    // A clear, polls hidden or shown, hex switched: the rows as a whole are new.
    connect(m_filter, &PollFilter::modelReset, this, &TerminalView::recountMatches);
    connect(m_filter, &PollFilter::layoutChanged, this, &TerminalView::recountMatches);
    connect(m_filter, &PollFilter::dataChanged, this, &TerminalView::recountMatches);
    connect(&controller.pump(), &CommandPump::rawModeChanged, this, &TerminalView::refreshMode);
    connect(&controller.line(), &LineSession::settingsChanged, this, &TerminalView::refreshMode);
    connect(&controller.line(), &LineSession::connectionChanged, this,
            &TerminalView::refreshSendEnabled);
    connect(&controller.log(), &TrafficLog::showHexChanged, this,
            [this] { m_showHex->setChecked(m_controller.log().showHex()); });

    m_loopbackToggle->setChecked(m_loopbackVisible);
    m_loopbackBar->setVisible(m_loopbackVisible);
    m_loopbackDivider->setVisible(m_loopbackVisible);
    m_showHex->setChecked(controller.log().showHex());
    refreshMode();
    refreshSendEnabled();
    if (m_filter->rowCount() > 0)
        m_list->scrollToBottom();
}

QWidget* TerminalView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* flow = new FlowLayout(header, rowSpacing, 6);
    flow->setContentsMargins(sideMargin, rowMargin, sideMargin, rowMargin);

    auto* title = new QWidget(header);
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(6);
    auto* icon = new QLabel(title);
    Style::setSymbol(icon, QStringLiteral("terminal"), QFontMetrics(Style::headline()).height(),
                     Style::Tone::primary);
    auto* name = new QLabel(tr("Terminal"), title);
    name->setFont(Style::headline());
    titleRow->addWidget(icon);
    titleRow->addWidget(name);
    flow->addWidget(title);

    m_mode = new SegmentedControl({tr("SMART-Befehle"), tr("Rohdaten")}, header);
    m_mode->setMinimumWidth(modeSelectorWidth); // wider when the font needs it
    m_mode->setToolTip(
        tr("SMART: Befehle warten auf den Prompt „>“. Rohdaten: alles geht direkt hinaus "
           "– für Brückenstecker oder PuTTY."));
    connect(m_mode, &SegmentedControl::activated, this,
            [this](int index) { m_controller.pump().setRawMode(index == 1); });
    flow->addWidget(m_mode);

    m_loopbackToggle =
        new ToggleButton(tr("Brückentest"), QStringLiteral("point.forward.to.point.capsulepath"),
                         Style::Tone::accent, header);
    connect(m_loopbackToggle, &ToggleButton::clicked, this, &TerminalView::setLoopbackVisible);
    flow->addWidget(m_loopbackToggle);

    m_showHex = new QCheckBox(tr("Hex-Anzeige"), header);
    connect(m_showHex, &QCheckBox::clicked, this,
            [this](bool on) { m_controller.log().setShowHex(on); });
    flow->addWidget(m_showHex);

    m_follow = new QCheckBox(tr("Mitlaufen"), header);
    m_follow->setChecked(m_autoScroll);
    m_follow->setToolTip(tr("Neue Zeilen zeigen. Hält an, solange weiter oben gelesen wird, "
                            "und geht unten weiter."));
    connect(m_follow, &QCheckBox::clicked, this, &TerminalView::setAutoScroll);
    flow->addWidget(m_follow);

    m_hidePolls = new QCheckBox(tr("Abfragen ausblenden"), header);
    m_hidePolls->setObjectName(QStringLiteral("hidePollsToggle"));
    m_hidePolls->setToolTip(
        tr("Zeilen des Abfrage-Takts und ihre Antworten hier nicht zeigen – das Protokoll und "
           "„Sichern …“ behalten alles."));
    m_hidePolls->setChecked(m_filter->hidesPolls());
    connect(m_hidePolls, &QCheckBox::toggled, this, [this](bool on) {
        m_filter->setHidesPolls(on);
        m_store.setValue(hidesPollsKey, on);
        if (m_autoScroll)
            m_list->scrollToBottom();
    });
    flow->addWidget(m_hidePolls);

    auto* save = new QPushButton(tr("&Sichern …"), header);
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &TerminalView::exportLog);
    flow->addWidget(save);

    auto* clear = new QPushButton(tr("Lee&ren …"), header);
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, &TerminalView::clearLog);
    flow->addWidget(clear);

    m_saved = new QLabel(header);
    m_saved->setObjectName(QStringLiteral("saveResult"));
    m_saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Style::makeCaption(m_saved);
    m_saved->hide();
    flow->addWidget(m_saved);
    return header;
}

QWidget* TerminalView::buildInputRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(sideMargin, rowMargin, sideMargin, rowMargin);
    layout->setSpacing(8);

    m_prompt = new QLabel(row);
    m_prompt->setFont(Style::monospace());
    Style::setTone(m_prompt, Style::Tone::secondary);

    m_input = new QLineEdit(row);
    m_input->setObjectName(QStringLiteral("terminalInput"));
    m_input->setFrame(false);
    m_input->setFont(Style::monospace());
    connect(m_input, &QLineEdit::textChanged, this, &TerminalView::refreshSendEnabled);
    // Return sends even while "Senden" is disabled; the controller logs what cannot go out.
    connect(m_input, &QLineEdit::returnPressed, this, &TerminalView::sendCommand);
    m_input->installEventFilter(this);
    m_completer = new QCompleter(commandVocabulary(), this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);

    m_hex = new QCheckBox(tr("Hex"), row);
    m_hex->setToolTip(tr("Eingabe als Hex-Bytes, z. B. 55 AA 0D 0A – ohne "
                         "angehängtes Zeilenende"));
    connect(m_hex, &QCheckBox::clicked, this, &TerminalView::setHexInput);

    m_lineEnding = new QLabel(row);
    Style::makeCaption(m_lineEnding);

    m_send = new QPushButton(tr("Se&nden"), row);
    m_send->setAutoDefault(false);
    connect(m_send, &QPushButton::clicked, this, &TerminalView::sendCommand);

    layout->addWidget(m_prompt);
    layout->addWidget(m_input, 1);
    layout->addWidget(m_hex);
    layout->addWidget(m_lineEnding);
    layout->addWidget(m_send);
    return row;
}

int TerminalView::heightForRows(int rows, int width) const
{
    int height = 2 * listVerticalMargin + rows * m_list->itemDelegate()->sizeHint({}, {}).height();
    for (int i = 0; i < layout()->count(); ++i) {
        const QLayoutItem* item = layout()->itemAt(i);
        if (item->widget() == m_listArea || item->isEmpty())
            continue;
        height +=
            item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
    }
    return height;
}

QString TerminalView::command() const
{
    return m_input->text();
}

void TerminalView::setCommand(const QString& command)
{
    m_input->setText(command);
}

void TerminalView::setHexInput(bool on)
{
    m_hexInput = on;
    m_hex->setChecked(on);
    refreshMode();
}

void TerminalView::setAutoScroll(bool on)
{
    m_autoScroll = on;
    m_follow->setChecked(on);
    if (on)
        m_list->scrollToBottom();
}

void TerminalView::setLoopbackVisible(bool on)
{
    m_loopbackVisible = on;
    m_loopbackToggle->setChecked(on);
    m_loopbackBar->setVisible(on);
    m_loopbackDivider->setVisible(on);
    m_store.setValue(loopbackVisibleKey, on);
}

void TerminalView::setSaveLocationChooser(SaveLocationChooser chooser)
{
    m_chooseSaveLocation = std::move(chooser);
}

void TerminalView::refreshMode()
{
    const bool raw = m_controller.pump().rawMode();
    m_mode->setCurrentIndex(raw ? 1 : 0);
    m_prompt->setText(raw ? QStringLiteral("»") : QStringLiteral(">"));
    if (!raw)
        m_input->setPlaceholderText(tr("Befehl an das Display, z. B. get powerstate"));
    else if (m_hexInput)
        m_input->setPlaceholderText(tr("Hex-Bytes, z. B. 48 61 6C 6C 6F 0D 0A"));
    else
        m_input->setPlaceholderText(tr("Text – geht ungefiltert auf die Schnittstelle"));
    m_hex->setVisible(raw);
    // The display's words are offered where they mean something.
    m_input->setCompleter(raw ? nullptr : m_completer);
    m_lineEnding->setText(raw && m_hexInput ? tr("ohne Zeilenende")
                                            : QStringLiteral("+ ") +
                                                  label(m_controller.line().settings().lineEnding));
}

void TerminalView::refreshSendEnabled()
{
    m_send->setEnabled(m_controller.line().connection().is(ConnectionState::Case::connected) &&
                       !m_input->text().isEmpty());
}

void TerminalView::sendCommand()
{
    const QString text = m_input->text();
    if (text.isEmpty())
        return;
    const bool raw = m_controller.pump().rawMode();
    if (raw && m_hexInput)
        m_controller.pump().sendHex(text);
    else
        m_controller.pump().sendCustom(text);
    // Cleared whether or not the input was valid: an invalid entry is in the log, and in the
    // history to be mended.
    m_input->clear();
    history().add(text);
    m_store.setValue(historyKey(raw), history().entries());
}

CommandHistory& TerminalView::history()
{
    return m_histories[m_controller.pump().rawMode() ? 1 : 0];
}

void TerminalView::recallHistory(bool older)
{
    const auto line = older ? history().older(m_input->text()) : history().newer();
    if (line)
        m_input->setText(*line);
}

bool TerminalView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_input && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool choosing = m_completer->popup() && m_completer->popup()->isVisible();
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && !choosing) {
            recallHistory(key == Qt::Key_Up);
            return true;
        }
    }
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_Escape) {
            m_search->clear();
            m_searchBar->hide();
            m_list->setFocus();
            return true;
        }
        if (press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter) {
            findFrom(press->modifiers() & Qt::ShiftModifier ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalView::focusInput()
{
    m_input->setFocus(Qt::ShortcutFocusReason);
    m_input->selectAll();
}

QWidget* TerminalView::buildSearchBar()
{
    m_searchBar = new QWidget(this);
    auto* layout = new QHBoxLayout(m_searchBar);
    layout->setContentsMargins(sideMargin, 4, sideMargin, 4);
    layout->setSpacing(6);
    m_search = new QLineEdit(m_searchBar);
    m_search->setObjectName(QStringLiteral("terminalSearch"));
    m_search->setPlaceholderText(tr("Im Terminal suchen"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, [this] {
        // A new search starts at the newest rows, where the reader usually is.
        m_searchCurrent = QPersistentModelIndex();
        m_delegate->setHighlight(m_search->text());
        m_list->viewport()->update();
        recountMatches();
        findFrom(-1);
    });
    m_searchCount = new QLabel(m_searchBar);
    Style::makeCaption(m_searchCount);
    const auto button = [this](const char* icon, const QString& tip) {
        auto* b = new QToolButton(m_searchBar);
        b->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        return b;
    };
    QToolButton* previous = button("go-up-symbolic", tr("Vorheriger Treffer (Umschalt+Eingabe)"));
    QToolButton* next = button("go-down-symbolic", tr("Nächster Treffer (Eingabe)"));
    QToolButton* close = button("window-close-symbolic", tr("Suche schließen (Esc)"));
    connect(previous, &QToolButton::clicked, this, &TerminalView::findPrevious);
    connect(next, &QToolButton::clicked, this, &TerminalView::findNext);
    connect(close, &QToolButton::clicked, this, [this] {
        m_search->clear();
        m_searchBar->hide();
    });
    layout->addWidget(m_search, 1);
    layout->addWidget(m_searchCount);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(close);
    m_searchBar->hide();
    return m_searchBar;
}

void TerminalView::startSearch()
{
    m_searchBar->show();
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

int TerminalView::matchesIn(int first, int last) const
{
    int count = 0;
    for (int row = first; row <= last; ++row)
        count += LogRowDelegate::matches(m_filter->index(row, 0), m_search->text());
    return count;
}

void TerminalView::findNext()
{
    findFrom(1);
}

void TerminalView::findPrevious()
{
    findFrom(-1);
}

void TerminalView::findFrom(int step)
{
    const int rows = m_filter->rowCount();
    if (m_search->text().isEmpty() || rows == 0)
        return;
    // Without a current match, forwards starts at the oldest row, backwards at the newest.
    int row = m_searchCurrent.isValid() ? m_searchCurrent.row() : (step > 0 ? -1 : rows);
    for (int tried = 0; tried < rows; ++tried) {
        row = (row + step + rows) % rows;
        const QModelIndex index = m_filter->index(row, 0);
        if (LogRowDelegate::matches(index, m_search->text())) {
            m_searchCurrent = index;
            m_ordinal = matchesIn(0, row);
            m_list->setCurrentIndex(index);
            m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
            break;
        }
    }
    showSearchCount();
}

void TerminalView::recountMatches()
{
    m_matches = m_search->text().isEmpty() ? 0 : matchesIn(0, m_filter->rowCount() - 1);
    m_ordinal = m_searchCurrent.isValid() ? matchesIn(0, m_searchCurrent.row()) : 0;
    showSearchCount();
}

void TerminalView::showSearchCount()
{
    if (m_search->text().isEmpty())
        m_searchCount->clear();
    else if (m_matches == 0)
        m_searchCount->setText(tr("Kein Treffer"));
    else if (!m_searchCurrent.isValid())
        m_searchCount->setText(tr("%n Treffer", nullptr, m_matches));
    else
        m_searchCount->setText(tr("%1 von %2").arg(m_ordinal).arg(m_matches));
}

void TerminalView::clearLog()
{
    const int entries = int(m_controller.log().entries().size());
    if (entries == 0)
        return;
    const Confirmation question{
        tr("Terminal leeren?"),
        tr("%n Einträge werden verworfen. Was nicht gesichert ist, ist danach nicht mehr da.",
           nullptr, entries),
        tr("Leeren")};
    openConfirmation(this, question,
                     [this] {
                         m_controller.log().clear();
                         m_saved->hide();
                     },
                     {});
}

QString TerminalView::saveResult() const
{
    return m_saved->isHidden() ? QString() : m_saved->text();
}

void TerminalView::exportLog()
{
    const QString proposed = m_controller.log().proposedExportFileName();
    const QPointer<TerminalView> alive(this);
    const QString path = m_chooseSaveLocation(this, proposed);
    if (!alive || path.isEmpty())
        return;
    QString error;
    if (writeExportFile(path, m_controller.log().exportText(), &error)) {
        m_saved->setText(tr("Gesichert: %1").arg(QDir::toNativeSeparators(path)));
        Style::setTone(m_saved, Style::Tone::secondary);
    } else {
        // The log stays as it is, to be saved elsewhere.
        m_saved->setText(tr("Nicht gesichert: %1 – %2").arg(path, error));
        Style::setTone(m_saved, Style::Tone::red);
    }
    m_saved->show();
}

void TerminalView::copySelection() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows)
        lines.append(row.data(Qt::DisplayRole).toString());
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(u'\n'));
}

void TerminalView::copySelectionAsHex() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows) {
        const QByteArray bytes = row.data(LogModel::BytesRole).toByteArray();
        if (!bytes.isEmpty())
            lines.append(hexText(bytes));
    }
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(u'\n'));
}

void TerminalView::resend(const QModelIndex& row)
{
    const QByteArray bytes = row.data(LogModel::BytesRole).toByteArray();
    if (m_controller.pump().rawMode()) {
        m_controller.pump().sendRaw(bytes);
        return;
    }
    // A command line goes through the queue again, with the line ending of today's settings.
    QByteArray line = bytes;
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    if (line.isEmpty())
        m_controller.pump().send(QString());
    else
        m_controller.pump().sendCustom(QString::fromLatin1(line));
}

void TerminalView::showContextMenu(const QPoint& at)
{
    const QModelIndex clicked = m_list->indexAt(at);
    if (clicked.isValid() && !m_list->selectionModel()->isSelected(clicked))
        m_list->setCurrentIndex(clicked);
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    bool anyBytes = false;
    for (const QModelIndex& row : rows)
        anyBytes = anyBytes || !row.data(LogModel::BytesRole).toByteArray().isEmpty();

    QMenu menu(this);
    QAction* copy = menu.addAction(tr("Kopieren"), this, &TerminalView::copySelection);
    copy->setEnabled(!rows.isEmpty());
    QAction* copyHex =
        menu.addAction(tr("Als Hex kopieren"), this, &TerminalView::copySelectionAsHex);
    copyHex->setEnabled(anyBytes);
    menu.addSeparator();
    QAction* again = menu.addAction(tr("Zeile erneut senden"));
    const bool sent = clicked.isValid() &&
                      clicked.data(LogModel::KindRole).toInt() == int(LogEntry::Kind::tx) &&
                      !clicked.data(LogModel::BytesRole).toByteArray().isEmpty();
    again->setEnabled(sent &&
                      m_controller.line().connection().is(ConnectionState::Case::connected));
    const QPersistentModelIndex target(clicked);
    connect(again, &QAction::triggered, this, [this, target] {
        if (target.isValid())
            resend(target);
    });
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

void TerminalView::rowsInserted(int first, int last)
{
    if (m_autoScroll && m_atBottom)
        m_list->scrollToBottom();
    if (m_search->text().isEmpty())
        return;
    // New rows come at the end; only rows that appear above the shown match renumber it.
    if (m_searchCurrent.isValid() && first <= m_searchCurrent.row()) {
        recountMatches();
        return;
    }
    m_matches += matchesIn(first, last);
    showSearchCount();
}

void TerminalView::rowsAboutToBeRemoved(int first, int last)
{
    m_scrollBeforeRemoval = m_list->verticalScrollBar()->value();
    m_rowsRemoved = first == 0 ? last + 1 : 0;
    if (m_search->text().isEmpty())
        return;
    const int removed = matchesIn(first, last);
    m_matches -= removed;
    if (m_searchCurrent.isValid() && last < m_searchCurrent.row())
        m_ordinal -= removed;
}

void TerminalView::rowsRemoved()
{
    // The oldest rows went at the cap. Without following, the rows the user is reading stay
    // where they are instead of sliding up by the number of trimmed rows.
    if (!(m_autoScroll && m_atBottom) && m_scrollBeforeRemoval >= 0)
        m_list->verticalScrollBar()->setValue(qMax(0, m_scrollBeforeRemoval - m_rowsRemoved));
    if (!m_search->text().isEmpty())
        showSearchCount();
    m_scrollBeforeRemoval = -1;
    m_rowsRemoved = 0;
}
