#include "editor/SqlEditor.h"

#include "editor/CompletionSource.h"
#include "editor/EditorFindBar.h"
#include "editor/QueryHistory.h"
#include "editor/SqlFile.h"
#include "shell/Contrast.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>

namespace {

QFont editorFont(int pointSize)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The id of the completion list among QScintilla's user lists.
constexpr int CompletionListId = 1;
bool isNameCharacter(int ch)
{
    return ch >= 0x80 || (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
           ch == '_' || ch == '$';
}

// The number of UTF-16 units the UTF-8 sequence starting with this byte stands for, and its
// length in bytes.
std::pair<int, int> utf8Step(unsigned char lead)
{
    if (lead < 0x80)
        return {1, 1};
    if ((lead >> 5) == 0x6)
        return {1, 2};
    if ((lead >> 4) == 0xE)
        return {1, 3};
    if ((lead >> 3) == 0x1E)
        return {2, 4};
    return {1, 1}; // a stray continuation byte
}

} // namespace

SqlEditor::SqlEditor(QWidget *parent) : QsciScintilla(parent)
{
    setUtf8(true);
    setEolMode(EolUnix);
    m_lexer = new SqlLexer(this);
    applyStyles();
    setLexer(m_lexer);

    SendScintilla(SCI_SETFONTQUALITY, SC_EFF_QUALITY_NON_ANTIALIASED);
    setFont(editorFont(10));
    setEdgeMode(EdgeNone);
    setTabWidth(4);
    setAutoIndent(true);
    setBraceMatching(SloppyBraceMatch);
    const QColor paper = paperColor();
    const bool whitePaper = paper == QColor(Qt::white);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    setMatchedBraceBackgroundColor(whitePaper ? QColor(0xD6, 0xE8, 0xFF)
                                              : contrast::blend(paper, text, 0.25));
    setUnmatchedBraceForegroundColor(QColor(255, 0, 0));
    // The horizontal scroll range follows the longest line instead of a fixed 2000 pixels.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    setCaretLineVisible(true);
    setCaretLineBackgroundColor(whitePaper ? QColor(0xF3, 0xF6, 0xFB) : contrast::blend(paper, text, 0.08));
    setCaretForegroundColor(QApplication::palette().color(QPalette::WindowText));

    // Line numbers only; no symbol or fold margins.
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginsFont(editorFont(8));
    const QColor margin = whitePaper ? QColor(0xF0, 0xF0, 0xF0) : contrast::blend(paper, text, 0.05);
    setMarginsBackgroundColor(margin);
    setMarginsForegroundColor(contrast::readableOn(QColor(0x80, 0x80, 0x80), text, {margin}, 3.0));
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setFolding(NoFoldStyle);
    fitLineNumberMargin();
    connect(this, &QsciScintilla::linesChanged, this, &SqlEditor::fitLineNumberMargin);
    connect(this, &QsciScintilla::textChanged, this, [this] {
        if (length() > 0)
            m_emptyLineAppended = false;
        // An edit of the user's ends the stepping through the history and takes the error's mark.
        if (!m_replacing)
            m_historyIndex = -1;
        if (m_errorMarked)
            clearMarks();
    });

    defineMarks();
    connect(this, &QsciScintillaBase::SCN_CHARADDED, this, &SqlEditor::onCharAdded);
    connect(this, &QsciScintilla::userListActivated, this, &SqlEditor::onUserListChosen);
    m_flashTimer.setSingleShot(true);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        SendScintilla(SCI_SETINDICATORCURRENT, FlashIndicator);
        SendScintilla(SCI_INDICATORCLEARRANGE, 0, SendScintilla(SCI_GETLENGTH));
    });
    m_findBar = new EditorFindBar(this);
    setTexts(englishWorkbenchTexts());
}

SqlEditor::~SqlEditor() = default;

void SqlEditor::defineMarks()
{
    const QColor paper = paperColor();
    const bool whitePaper = paper == QColor(Qt::white);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    // The statement that runs: a light box; the error: a red squiggle and a tinted line.
    indicatorDefine(StraightBoxIndicator, FlashIndicator);
    setIndicatorForegroundColor(whitePaper ? QColor(0x3D, 0x8E, 0xF0) : contrast::blend(paper, text, 0.5),
                                FlashIndicator);
    SendScintilla(SCI_INDICSETALPHA, FlashIndicator, 60);
    SendScintilla(SCI_INDICSETUNDER, FlashIndicator, 1);
    indicatorDefine(SquiggleIndicator, ErrorIndicator);
    setIndicatorForegroundColor(QColor(0xD0, 0x10, 0x10), ErrorIndicator);
    m_errorMarker = markerDefine(Background);
    setMarkerBackgroundColor(
        whitePaper ? QColor(0xFF, 0xE4, 0xE4) : contrast::blend(paper, QColor(Qt::red), 0.25), m_errorMarker);
}

void SqlEditor::setTexts(const WorkbenchTexts &texts)
{
    m_texts = &texts;
    m_findBar->setTexts(texts);
}

void SqlEditor::resizeEvent(QResizeEvent *event)
{
    QsciScintilla::resizeEvent(event);
    if (m_findBar->isVisible())
        m_findBar->place();
}

bool SqlEditor::event(QEvent *event)
{
    // Scintilla claims Escape for itself; with no list or call tip to close, it is the window's
    // (it stops rows still arriving), as it is everywhere else.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !isListActive() &&
            !isCallTipActive()) {
            event->ignore();
            return false;
        }
    }
    return QsciScintilla::event(event);
}

void SqlEditor::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_Space && mods == Qt::ControlModifier) {
        showCompletion(true);
        return;
    }
    if (key == Qt::Key_F && mods == Qt::ControlModifier) {
        m_findBar->open();
        return;
    }
    if (key == Qt::Key_F3 && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        if (m_findBar->findField()->text().isEmpty())
            m_findBar->open();
        else
            m_findBar->find(mods == Qt::NoModifier);
        return;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && mods == Qt::ControlModifier && m_history &&
        !isListActive()) {
        stepHistory(key == Qt::Key_Up ? -1 : 1);
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

int SqlEditor::positionOf(qsizetype index) const
{
    const auto *raw = reinterpret_cast<const unsigned char *>(SendScintilla(SCI_GETCHARACTERPOINTER));
    const int length = int(SendScintilla(SCI_GETLENGTH));
    qsizetype units = 0;
    int position = 0;
    while (position < length && units < index) {
        const auto [u, bytes] = utf8Step(raw[position]);
        units += u;
        position += bytes;
    }
    return std::min(position, length);
}

qsizetype SqlEditor::indexOf(int position) const
{
    const auto *raw = reinterpret_cast<const unsigned char *>(SendScintilla(SCI_GETCHARACTERPOINTER));
    position = std::min(position, int(SendScintilla(SCI_GETLENGTH)));
    qsizetype units = 0;
    for (int p = 0; p < position;) {
        const auto [u, bytes] = utf8Step(raw[p]);
        units += u;
        p += bytes;
    }
    return units;
}

qsizetype SqlEditor::cursorIndex() const
{
    return indexOf(int(SendScintilla(SCI_GETCURRENTPOS)));
}

std::pair<qsizetype, qsizetype> SqlEditor::selectionIndexes() const
{
    return {indexOf(int(SendScintilla(SCI_GETSELECTIONSTART))),
            indexOf(int(SendScintilla(SCI_GETSELECTIONEND)))};
}

void SqlEditor::replaceText(const QString &text)
{
    m_replacing = true;
    m_emptyLineAppended = false;
    const QByteArray bytes = text.toUtf8();
    beginUndoAction();
    SendScintilla(SCI_SETTARGETRANGE, 0, SendScintilla(SCI_GETLENGTH));
    SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()), bytes.constData());
    endUndoAction();
    SendScintilla(SCI_GOTOPOS, SendScintilla(SCI_GETLENGTH));
    m_replacing = false;
}

void SqlEditor::onCharAdded(int ch)
{
    if (!m_completion)
        return;
    if (isNameCharacter(ch) || ch == '.')
        showCompletion(false);
}

bool SqlEditor::showCompletion(bool explicitRequest)
{
    if (!m_completion)
        return false;
    const char *raw = reinterpret_cast<const char *>(SendScintilla(SCI_GETCHARACTERPOINTER));
    const QString text = QString::fromUtf8(raw, SendScintilla(SCI_GETLENGTH));
    const Completion completion = m_completion->complete(text, cursorIndex());
    // While typing, a list after two letters of a name or right after "name.".
    if (completion.items.isEmpty() ||
        (!explicitRequest && !completion.qualified && completion.prefix.size() < 2)) {
        if (isListActive())
            cancelList();
        return false;
    }
    m_completionStart = completion.start;
    m_completionTexts.clear();
    m_offered.clear();
    // No pictures beside the entries: they would make a list of thousands of tables twice as slow
    // to open.
    for (const CompletionItem &item : completion.items) {
        if (m_completionTexts.contains(item.label))
            continue;
        m_completionTexts.insert(item.label, item.text);
        m_offered.append(item.label);
    }
    SendScintilla(SCI_AUTOCSETORDER, SC_ORDER_CUSTOM);
    SendScintilla(SCI_AUTOCSETIGNORECASE, 1);
    SendScintilla(SCI_AUTOCSETMAXHEIGHT, 10);
    showUserList(CompletionListId, m_offered);
    return isListActive();
}

void SqlEditor::onUserListChosen(int id, const QString &label)
{
    if (id != CompletionListId)
        return;
    const QByteArray text = m_completionTexts.value(label, label).toUtf8();
    const int from = positionOf(m_completionStart);
    const int to = int(SendScintilla(SCI_GETCURRENTPOS));
    beginUndoAction();
    SendScintilla(SCI_SETTARGETRANGE, from, std::max(from, to));
    SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(text.size()), text.constData());
    endUndoAction();
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(from + text.size()));
}

void SqlEditor::chooseCompletion(const QString &label)
{
    if (isListActive())
        cancelList();
    onUserListChosen(CompletionListId, label);
}

void SqlEditor::flashRange(qsizetype from, qsizetype to)
{
    const int start = positionOf(from);
    const int end = positionOf(to);
    SendScintilla(SCI_SETINDICATORCURRENT, FlashIndicator);
    SendScintilla(SCI_INDICATORCLEARRANGE, 0, SendScintilla(SCI_GETLENGTH));
    SendScintilla(SCI_INDICATORFILLRANGE, start, end - start);
    m_flashTimer.start(FlashMs);
}

void SqlEditor::markError(qsizetype offset, int line)
{
    clearMarks();
    int position = -1;
    if (offset >= 0) {
        position = positionOf(offset);
        int end = int(SendScintilla(SCI_WORDENDPOSITION, position, 1));
        if (end <= position)
            end = std::min(position + 1, int(SendScintilla(SCI_GETLENGTH)));
        SendScintilla(SCI_SETINDICATORCURRENT, ErrorIndicator);
        SendScintilla(SCI_INDICATORFILLRANGE, position, end - position);
        if (line <= 0)
            line = int(SendScintilla(SCI_LINEFROMPOSITION, position)) + 1;
    } else if (line > 0) {
        position = int(SendScintilla(SCI_POSITIONFROMLINE, line - 1));
    }
    if (line > 0 && line <= lines())
        markerAdd(line - 1, m_errorMarker);
    if (position >= 0) {
        SendScintilla(SCI_GOTOPOS, position);
        SendScintilla(SCI_SCROLLCARET);
    }
    m_errorMarked = position >= 0 || line > 0;
}

void SqlEditor::clearMarks()
{
    const long length = SendScintilla(SCI_GETLENGTH);
    for (int indicator : {FlashIndicator, ErrorIndicator}) {
        SendScintilla(SCI_SETINDICATORCURRENT, indicator);
        SendScintilla(SCI_INDICATORCLEARRANGE, 0, length);
    }
    markerDeleteAll(m_errorMarker);
    m_flashTimer.stop();
    m_errorMarked = false;
}

QList<std::pair<qsizetype, qsizetype>> SqlEditor::indicatorRanges(int indicator) const
{
    QList<std::pair<qsizetype, qsizetype>> ranges;
    const int length = int(SendScintilla(SCI_GETLENGTH));
    int position = 0;
    while (position < length) {
        const int end = std::max(position + 1, int(SendScintilla(SCI_INDICATOREND, indicator, position)));
        if (SendScintilla(SCI_INDICATORVALUEAT, indicator, position))
            ranges.append({indexOf(position), indexOf(std::min(end, length))});
        position = end;
    }
    return ranges;
}

bool SqlEditor::lineMarked(int line) const
{
    return line > 0 && (SendScintilla(SCI_MARKERGET, line - 1) & (1 << m_errorMarker)) != 0;
}

void SqlEditor::stepHistory(int direction)
{
    if (!m_history || m_history->entries().isEmpty())
        return;
    const QList<HistoryEntry> &entries = m_history->entries();
    int index = m_historyIndex;
    if (index < 0) {
        if (direction > 0)
            return;
        m_draft = text();
        index = int(entries.size());
    }
    // Entries that read as the text on show are passed over: a statement run five times is one step.
    const QString shown = text();
    do {
        index += direction;
    } while (index >= 0 && index < entries.size() && entries[index].sql == shown);
    if (index < 0)
        return; // the oldest is on show
    if (index >= entries.size()) {
        replaceText(m_draft);
        m_historyIndex = -1;
        return;
    }
    replaceText(entries[index].sql);
    m_historyIndex = index;
}

bool SqlEditor::openFile()
{
    FileDialogOptions options;
    options.caption = m_texts->openSqlCaption;
    options.folder = m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).path();
    options.filter = m_texts->sqlFilter + QStringLiteral(";;") + m_texts->allFilesFilter;
    const std::optional<QString> name = prompt().openFileName(window(), options);
    if (!name)
        return false;
    SqlFileContent content;
    QString error;
    if (!readSqlFile(*name, &content, &error)) {
        prompt().beep();
        showMessageDialog(m_texts->sqlFileReadFailed.arg(*name, error), mtError, mbOK, 0, window());
        return false;
    }
    replaceText(content.text);
    SendScintilla(SCI_GOTOPOS, 0);
    switch (content.lineEnds) {
    case SqlFileContent::LineEnds::Lf:
        setEolMode(EolUnix);
        break;
    case SqlFileContent::LineEnds::CrLf:
        setEolMode(EolWindows);
        break;
    case SqlFileContent::LineEnds::Cr:
        setEolMode(EolMac);
        break;
    }
    m_fileName = *name;
    m_fileByteOrderMark = content.byteOrderMark;
    setModified(false);
    if (!content.utf8)
        showMessageDialog(m_texts->sqlFileNotUtf8.arg(*name), mtWarning, mbOK, 0, window());
    return true;
}

bool SqlEditor::saveFile()
{
    return m_fileName.isEmpty() ? saveFileAs() : writeTo(m_fileName);
}

bool SqlEditor::saveFileAs()
{
    FileDialogOptions options;
    options.caption = m_texts->saveSqlCaption;
    options.fileName = m_fileName;
    options.filter = m_texts->sqlFilter + QStringLiteral(";;") + m_texts->allFilesFilter;
    options.defaultSuffix = QStringLiteral("sql");
    const std::optional<QString> name = prompt().saveFileName(window(), options);
    if (!name)
        return false;
    if (*name != m_fileName && QFileInfo::exists(*name) &&
        showMessageDialog(withFileName(uiTexts().fileExistsQuestion, *name), mtConfirmation, mbYes | mbNo, 0,
                          window()) != mrYes)
        return false;
    return writeTo(*name);
}

bool SqlEditor::writeTo(const QString &fileName)
{
    QString error;
    if (!writeSqlFile(fileName, text(), m_fileByteOrderMark, &error)) {
        prompt().beep();
        showMessageDialog(m_texts->sqlFileWriteFailed.arg(fileName, error), mtError, mbOK, 0, window());
        return false;
    }
    m_fileName = fileName;
    setModified(false);
    return true;
}

void SqlEditor::applyStyles()
{
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const QColor paper = paperColor();
    m_lexer->setDefaultFont(editorFont(10));
    m_lexer->setFont(editorFont(10), -1);
    m_lexer->setDefaultColor(text);
    m_lexer->setColor(text, -1);
    m_lexer->setDefaultPaper(paper);
    m_lexer->setPaper(paper, -1);

    // The highlighting colours are made for white paper; on dark paper each is lightened
    // toward the text colour until it reads.
    auto ink = [&](const QColor &colour) {
        return paper == QColor(Qt::white) ? colour : contrast::readableOn(colour, text, {paper});
    };
    for (int style :
         {SqlLexer::Comment, SqlLexer::CommentLine, SqlLexer::CommentDoc, SqlLexer::CommentLineHash,
          SqlLexer::PlusComment, SqlLexer::CommentDocKeyword, SqlLexer::CommentDocKeywordError})
        m_lexer->setColor(ink(commentColor()), style);
    m_lexer->setColor(ink(keywordColor()), SqlLexer::Keyword);
    m_lexer->setColor(ink(functionColor()), SqlLexer::FunctionStyle);
    m_lexer->setColor(ink(exceptionColor()), SqlLexer::ExceptionStyle);
    m_lexer->setColor(ink(numberColor()), SqlLexer::Number);
    m_lexer->setColor(ink(stringColor()), SqlLexer::SingleQuotedString);
    m_lexer->setColor(ink(stringColor()), SqlLexer::DoubleQuotedString);
}

QColor SqlEditor::paperColor()
{
    // White, as the window colour of a light desktop; the palette's base where the window text
    // is light, which would not read on white.
    const QPalette palette = QApplication::palette();
    return contrast::isDark(palette) ? palette.color(QPalette::Base) : QColor(Qt::white);
}

void SqlEditor::setDialect(SqlHighlightDialect dialect)
{
    m_lexer->setDialect(dialect);
    // The lexer's word lists are copied into the editor; hand over the new ones and restyle.
    for (int set = 1; set <= 8; ++set) {
        const char *words = m_lexer->keywords(set);
        SendScintilla(SCI_SETKEYWORDS, set - 1, words ? words : "");
    }
    SendScintilla(SCI_SETPROPERTY, "lexer.sql.backticks.identifier",
                  m_lexer->quotedIdentifiers() ? "1" : "0");
    SendScintilla(SCI_COLOURISE, 0, -1);
}

void SqlEditor::appendLine(const QString &line)
{
    if (length() == 0) {
        QsciScintilla::setText(m_emptyLineAppended ? QStringLiteral("\n") + line : line);
        m_emptyLineAppended = line.isEmpty();
    } else {
        append(QStringLiteral("\n") + line);
    }
}

void SqlEditor::setText(const QString &text)
{
    m_emptyLineAppended = false;
    QsciScintilla::setText(text);
}

void SqlEditor::clear()
{
    m_emptyLineAppended = false;
    QsciScintilla::clear();
}

void SqlEditor::fitLineNumberMargin()
{
    int digits = 2;
    for (int n = lines(); n >= 100; n /= 10)
        ++digits;
    if (digits == m_marginDigits)
        return;
    m_marginDigits = digits;
    setMarginWidth(0, QString(digits + 1, QLatin1Char('9')));
}
