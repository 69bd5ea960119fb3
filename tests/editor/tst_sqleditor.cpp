#include "editor/SqlEditor.h"

#include <QFontInfo>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(SqlHighlightDialect)

namespace {

int styleOf(SqlEditor &editor, const QString &word)
{
    const int pos = int(editor.text().toUtf8().indexOf(word.toUtf8()));
    return int(editor.SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
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
};

QTEST_MAIN(TestSqlEditor)
#include "tst_sqleditor.moc"
