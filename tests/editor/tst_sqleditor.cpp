#include "ScriptedPrompt.h"

#include "editor/CompletionSource.h"
#include "editor/QueryHistory.h"
#include "editor/SqlEditor.h"

#include <QFontInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(SqlHighlightDialect)

namespace {

int styleOf(SqlEditor &editor, const QString &word)
{
    const int pos = int(editor.text().toUtf8().indexOf(word.toUtf8()));
    return int(editor.SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
}

// Tables with mixed-case and blank names, as a PostgreSQL catalogue has them.
void setCatalogue(CompletionSource &source)
{
    source.setCatalogue({{"public", "customer", QStringList{"customer_id", "first_name", "home phone"}},
                         {"public", "Invoice", QStringList{"invoice_id", "total"}}},
                        QStringLiteral("public"));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestSqlEditor : public QObject
{
    Q_OBJECT

private slots:
    void eachDialectHasItsWords_data()
    {
        using D = SqlHighlightDialect;
        QTest::addColumn<SqlHighlightDialect>("dialect");
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("listed");
        const int kw = SqlLexer::KeywordsSet, fn = SqlLexer::FunctionsSet, ex = SqlLexer::ExceptionsSet;
        const std::pair<const char *, D> all[] = {{"standard", D::Standard}, {"mssql7", D::MSSQL7},
                                                  {"mssql2k", D::MSSQL2K},   {"mysql", D::MySQL},
                                                  {"postgres", D::Postgres}, {"sqlite", D::Sqlite}};
        for (const auto &[name, d] : all) {
            const QByteArray n(name);
            QTest::newRow(n + " select") << d << kw << "select" << true;
            QTest::newRow(n + " ilike") << d << kw << "ilike" << (d == D::Postgres);
            QTest::newRow(n + " pragma") << d << kw << "pragma" << (d == D::Sqlite);
            QTest::newRow(n + " top") << d << kw << "top" << (d == D::MSSQL7 || d == D::MSSQL2K);
            QTest::newRow(n + " limit")
                << d << kw << "limit" << (d == D::MySQL || d == D::Postgres || d == D::Sqlite);
            QTest::newRow(n + " count()") << d << fn << "count" << true;
        }
        QTest::newRow("mssql7 has no functions yet") << D::MSSQL7 << kw << "function" << false;
        QTest::newRow("mssql2k function") << D::MSSQL2K << kw << "function" << true;
        QTest::newRow("mssql2k scope_identity") << D::MSSQL2K << fn << "scope_identity" << true;
        QTest::newRow("mssql7 scope_identity") << D::MSSQL7 << fn << "scope_identity" << false;
        QTest::newRow("mysql auto_increment") << D::MySQL << kw << "auto_increment" << true;
        QTest::newRow("postgres string_agg") << D::Postgres << fn << "string_agg" << true;
        QTest::newRow("sqlite strftime") << D::Sqlite << fn << "strftime" << true;
        QTest::newRow("postgres unique_violation") << D::Postgres << ex << "unique_violation" << true;
        QTest::newRow("mysql sqlexception") << D::MySQL << ex << "sqlexception" << true;
    }

    void eachDialectHasItsWords()
    {
        QFETCH(SqlHighlightDialect, dialect);
        QFETCH(int, set);
        QFETCH(QString, word);
        QFETCH(bool, listed);
        SqlEditor editor;
        editor.setDialect(dialect);
        QCOMPARE(editor.dialect(), dialect);
        const QStringList words = editor.sqlLexer()->keywordList(set);
        QCOMPARE(words.contains(word), listed);
        for (const QString &w : words)
            QCOMPARE(w, w.toLower()); // the lexer matches lower-cased words only
    }

    void highlightsWordsWhateverTheirCase()
    {
        SqlEditor editor;
        editor.setDialect(SqlHighlightDialect::Postgres);
        editor.setText(QStringLiteral("SELECT Now() FROM t WHERE b ILIKE 'x%' -- note\n"
                                      "  AND n = 42 /* block */ AND OTHERS"));
        editor.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
        QCOMPARE(styleOf(editor, "SELECT"), int(SqlLexer::Keyword));
        QCOMPARE(styleOf(editor, "ILIKE"), int(SqlLexer::Keyword));
        QCOMPARE(styleOf(editor, "Now"), SqlLexer::FunctionStyle);
        QCOMPARE(styleOf(editor, "OTHERS"), SqlLexer::ExceptionStyle);
        QCOMPARE(styleOf(editor, "'x%'"), int(SqlLexer::SingleQuotedString));
        QCOMPARE(styleOf(editor, "-- note"), int(SqlLexer::CommentLine));
        QCOMPARE(styleOf(editor, "/* block"), int(SqlLexer::Comment));
        QCOMPARE(styleOf(editor, "42"), int(SqlLexer::Number));

        // Another dialect takes effect at once in the shown text.
        editor.setDialect(SqlHighlightDialect::Standard);
        QCOMPARE(styleOf(editor, "ILIKE"), int(SqlLexer::Identifier));
        QCOMPARE(styleOf(editor, "SELECT"), int(SqlLexer::Keyword));
    }

    void usesTheGivenColoursAndFonts()
    {
        SqlEditor editor;
        SqlLexer *lexer = editor.sqlLexer();
        QCOMPARE(lexer->color(SqlLexer::Comment), QColor(0, 128, 0));
        QCOMPARE(lexer->color(SqlLexer::CommentLine), QColor(0, 128, 0));
        QCOMPARE(lexer->color(SqlLexer::ExceptionStyle), QColor(255, 0, 0));
        QCOMPARE(lexer->color(SqlLexer::FunctionStyle), QColor(128, 128, 128));
        QCOMPARE(lexer->color(SqlLexer::Keyword), QColor(0, 0, 128));
        QCOMPARE(lexer->color(SqlLexer::Number), QColor(128, 0, 128));
        QCOMPARE(lexer->color(SqlLexer::SingleQuotedString), QColor(128, 0, 0));
        QCOMPARE(lexer->color(SqlLexer::Default), editor.palette().color(QPalette::WindowText));
        for (int style = 0; style <= SqlLexer::QuotedOperator; ++style) {
            const QFont font = lexer->font(style);
            QCOMPARE(font.family(), QStringLiteral("Courier New"));
            QCOMPARE(font.pointSize(), 10);
            QVERIFY(QFontInfo(font).fixedPitch());
            QCOMPARE(lexer->paper(style), QColor(Qt::white));
        }
        QCOMPARE(editor.SendScintilla(QsciScintilla::SCI_STYLEGETSIZE, QsciScintilla::STYLE_LINENUMBER), 8);
        QCOMPARE(editor.edgeMode(), QsciScintilla::EdgeNone);
        QCOMPARE(editor.SendScintilla(QsciScintilla::SCI_GETFONTQUALITY),
                 long(QsciScintilla::SC_EFF_QUALITY_NON_ANTIALIASED));
        QCOMPARE(editor.tabWidth(), 4);
        QVERIFY(editor.isUtf8());
        QVERIFY(editor.marginWidth(0) > 0);
    }

    void appendLineBuildsLines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << QStringList{"SELECT *"} << "SELECT *";
        QTest::newRow("two") << QStringList{"SELECT *", "FROM t"} << "SELECT *\nFROM t";
        QTest::newRow("empty first line") << QStringList{"", "FROM t"} << "\nFROM t";
        QTest::newRow("empty last line") << QStringList{"a", ""} << "a\n";
        QTest::newRow("two empty lines") << QStringList{"", "", "x"} << "\n\nx";
        QTest::newRow("accents") << QStringList{"-- coração", "SELECT 'ã'"} << "-- coração\nSELECT 'ã'";
    }

    void appendLineBuildsLines()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, text);
        SqlEditor editor;
        editor.setText(QStringLiteral("old"));
        editor.clear();
        QSignalSpy changes(&editor, &QsciScintilla::textChanged);
        for (const QString &line : lines)
            editor.appendLine(line);
        QCOMPARE(editor.text(), text);
        QVERIFY(!changes.isEmpty());
        editor.clear();
        editor.appendLine(QStringLiteral("next"));
        QCOMPARE(editor.text(), QStringLiteral("next"));
    }

    void completionListFollowsTyping()
    {
        SqlEditor editor;
        CompletionSource source(SqlDialect::PostgreSql);
        setCatalogue(source);
        editor.setCompletionSource(&source);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));

        // Two letters of a name open the list: the catalogue's tables first, then keywords.
        QTest::keyClicks(&editor, QStringLiteral("SELECT * FROM cu"));
        QVERIFY(editor.completionShown());
        QCOMPARE(editor.completionLabels().first(), QStringLiteral("customer"));
        QVERIFY(editor.completionLabels().contains(QStringLiteral("current_date")));
        QTest::keyClick(&editor, Qt::Key_Return);
        QCOMPARE(editor.text(), QStringLiteral("SELECT * FROM customer"));

        // After "alias." the list holds the columns of the aliased table, quoted as needed.
        QTest::keyClicks(&editor, QStringLiteral(" c WHERE c."));
        QVERIFY(editor.completionShown());
        QCOMPARE(editor.completionLabels(), (QStringList{"customer_id", "first_name", "home phone"}));
        QTest::keyClicks(&editor, QStringLiteral("ho"));
        QCOMPARE(editor.completionLabels(), QStringList{"home phone"});
        QTest::keyClick(&editor, Qt::Key_Return);
        QCOMPARE(editor.text(), QStringLiteral("SELECT * FROM customer c WHERE c.\"home phone\""));
        // A mixed-case name goes in in quotes; undo takes the choice back in one step.
        QTest::keyClicks(&editor, QStringLiteral(" AND EXISTS (SELECT 1 FROM inv"));
        editor.chooseCompletion(QStringLiteral("Invoice"));
        QVERIFY(editor.text().endsWith(QStringLiteral("FROM \"Invoice\"")));
        editor.undo();
        QVERIFY(editor.text().endsWith(QStringLiteral("FROM inv")));

        // A blank closes the list; one letter does not open it, Ctrl+Space does.
        QTest::keyClick(&editor, Qt::Key_Space);
        QVERIFY(!editor.completionShown());
        QTest::keyClicks(&editor, QStringLiteral("W"));
        QVERIFY(!editor.completionShown());
        QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(editor.completionShown());
        QVERIFY(editor.completionLabels().contains(QStringLiteral("WHERE")));
        QTest::keyClick(&editor, Qt::Key_Escape);
        QVERIFY(!editor.completionShown());
    }

    void runningStatementFlashesBriefly()
    {
        SqlEditor editor;
        editor.setText(QStringLiteral(u"SELECT 'ação';\nSELECT 2;"));
        editor.flashRange(15, 23);
        QVERIFY(editor.flashing());
        QCOMPARE(editor.indicatorRanges(SqlEditor::FlashIndicator),
                 (QList<std::pair<qsizetype, qsizetype>>{{15, 23}}));
        QTRY_VERIFY(!editor.flashing());
        QVERIFY(editor.indicatorRanges(SqlEditor::FlashIndicator).isEmpty());
    }

    void errorMarkSitsOnTheWordUntilTheNextEdit()
    {
        SqlEditor editor;
        editor.show();
        const QString text = QStringLiteral(u"SELECT '😀 ação' AS x,\n  id FRM items;");
        editor.setText(text);
        const qsizetype at = text.indexOf(QStringLiteral("items"));
        editor.markError(at, 0);
        QCOMPARE(editor.indicatorRanges(SqlEditor::ErrorIndicator),
                 (QList<std::pair<qsizetype, qsizetype>>{{at, at + 5}}));
        QVERIFY(editor.lineMarked(2));
        QVERIFY(!editor.lineMarked(1));
        QCOMPARE(editor.cursorIndex(), at);
        // Only a line: the line is marked.
        editor.markError(-1, 1);
        QVERIFY(editor.indicatorRanges(SqlEditor::ErrorIndicator).isEmpty());
        QVERIFY(editor.lineMarked(1));
        QVERIFY(!editor.lineMarked(2));
        QTest::keyClicks(&editor, QStringLiteral("x"));
        QVERIFY(!editor.lineMarked(1));
    }

    void ctrlUpAndDownStepThroughTheHistory()
    {
        QTemporaryDir dir;
        QueryHistory history(dir.filePath(QStringLiteral("history")));
        QString error;
        for (const char *sql : {"SELECT 'a'", "SELECT 'b'", "SELECT 'b'", "SELECT 'c'"}) {
            HistoryEntry entry;
            entry.time = QDateTime::currentDateTime();
            entry.sql = QString::fromLatin1(sql);
            QVERIFY(history.add(entry, &error));
        }
        SqlEditor editor;
        editor.setHistory(&history);
        editor.setText(QStringLiteral("draft"));
        const auto step = [&](Qt::Key key) {
            QTest::keyClick(&editor, key, Qt::ControlModifier);
            return editor.text();
        };
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'c'"));
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'b'"));
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'a'")); // the same statement twice is one step
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'a'")); // the oldest stays
        QCOMPARE(step(Qt::Key_Down), QStringLiteral("SELECT 'b'"));
        QCOMPARE(step(Qt::Key_Down), QStringLiteral("SELECT 'c'"));
        QCOMPARE(step(Qt::Key_Down), QStringLiteral("draft"));
        QCOMPARE(step(Qt::Key_Down), QStringLiteral("draft"));
        // A recalled statement can be undone; an edit starts the stepping anew from the newest.
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'c'"));
        editor.undo();
        QCOMPARE(editor.text(), QStringLiteral("draft"));
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'c'"));
        QTest::keyClicks(&editor, QStringLiteral(" x"));
        QCOMPARE(step(Qt::Key_Up), QStringLiteral("SELECT 'c'"));
        QCOMPARE(step(Qt::Key_Down), QStringLiteral("SELECT 'c' x"));
    }

    void sqlFilesKeepTheirLineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("eolMode");
        QTest::newRow("LF") << QByteArray("SELECT 1;\nSELECT 'ação';\n")
                            << QStringLiteral(u"SELECT 1;\nSELECT 'ação';\n") << int(QsciScintilla::EolUnix);
        QTest::newRow("CRLF") << QByteArray("SELECT 1;\r\n\r\nSELECT 2;\r\n")
                              << QStringLiteral("SELECT 1;\r\n\r\nSELECT 2;\r\n")
                              << int(QsciScintilla::EolWindows);
        QTest::newRow("BOM and CRLF")
            << QByteArray("\xEF\xBB\xBFSELECT 1;\r\nSELECT 2;") << QStringLiteral("SELECT 1;\r\nSELECT 2;")
            << int(QsciScintilla::EolWindows);
        QTest::newRow("mixed, mostly CRLF")
            << QByteArray("a\r\nb\r\nc\nd") << QStringLiteral("a\r\nb\r\nc\nd")
            << int(QsciScintilla::EolWindows);
    }

    void sqlFilesKeepTheirLineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(int, eolMode);
        QTemporaryDir dir;
        const QString original = dir.filePath(QStringLiteral("script.sql"));
        const QString copy = dir.filePath(QStringLiteral("copy.sql"));
        writeBytes(original, bytes);
        ScriptedPrompt prompt;
        SqlEditor editor;
        prompt.fileAnswers.enqueue(original);
        QVERIFY(editor.openFile());
        QCOMPARE(editor.text(), text);
        QCOMPARE(int(editor.eolMode()), eolMode);
        QCOMPARE(editor.fileName(), original);
        QVERIFY(prompt.dialogs.isEmpty());
        // Saved elsewhere unchanged, then in place with a line typed at the end.
        prompt.fileAnswers.enqueue(copy);
        QVERIFY(editor.saveFileAs());
        QCOMPARE(fileBytes(copy), bytes);
        QCOMPARE(prompt.saveDialogs.last().defaultSuffix, QStringLiteral("sql"));
        editor.SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
        QTest::keyClick(&editor, Qt::Key_Return);
        QVERIFY(editor.saveFile());
        QCOMPARE(fileBytes(copy), bytes + (eolMode == QsciScintilla::EolWindows ? "\r\n" : "\n"));
        QCOMPARE(prompt.saveDialogs.size(), 1);
    }

    void sqlFilesThatCannotBeReadOrKeptAreSaid()
    {
        QTemporaryDir dir;
        ScriptedPrompt prompt;
        SqlEditor editor;
        editor.setText(QStringLiteral("SELECT 1"));
        // Not UTF-8: read as Windows-1252 and said so; saved as UTF-8.
        const QString latin = dir.filePath(QStringLiteral("latin.sql"));
        writeBytes(latin, QByteArray("SELECT 'caf\xE9 \x80';"));
        prompt.fileAnswers.enqueue(latin);
        QVERIFY(editor.openFile());
        QCOMPARE(editor.text(), QStringLiteral(u"SELECT 'café €';"));
        QCOMPARE(prompt.dialogs.size(), 1);
        QVERIFY(prompt.dialogs.last().text.contains(latin));
        QVERIFY(editor.saveFile());
        QCOMPARE(fileBytes(latin), QStringLiteral(u"SELECT 'café €';").toUtf8());
        // A file that is not there: the text stays.
        prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("missing.sql")));
        QVERIFY(!editor.openFile());
        QCOMPARE(editor.text(), QStringLiteral(u"SELECT 'café €';"));
        QCOMPARE(prompt.beeps, 1);
        QVERIFY(prompt.dialogs.last().text.contains(QStringLiteral("missing.sql")));
        // Another file is overwritten only after Yes.
        const QString other = dir.filePath(QStringLiteral("other.sql"));
        writeBytes(other, "keep");
        prompt.fileAnswers.enqueue(other);
        prompt.dialogAnswers.enqueue(7); // No
        QVERIFY(!editor.saveFileAs());
        QCOMPARE(fileBytes(other), QByteArray("keep"));
        prompt.fileAnswers.enqueue(other);
        prompt.dialogAnswers.enqueue(6); // Yes
        QVERIFY(editor.saveFileAs());
        QCOMPARE(fileBytes(other), QStringLiteral(u"SELECT 'café €';").toUtf8());
        // Cancelled dialogs change nothing.
        QVERIFY(!editor.openFile());
        QCOMPARE(editor.fileName(), other);
    }
};

QTEST_MAIN(TestSqlEditor)
#include "tst_sqleditor.moc"
