#include "editor/StatementSplitter.h"

#include <QtTest>

Q_DECLARE_METATYPE(SqlDialect)

// Scripts as people write them, split by the rules of each dialect.
class TestStatementSplitter : public QObject
{
    Q_OBJECT

private slots:
    void splitsWhereTheDatabaseWould_data();
    void splitsWhereTheDatabaseWould();
    void statementsKnowWhereTheyAre();
    void psqlCommandsAndCopyDataStayApart();
    void statementUnderTheCursor_data();
    void statementUnderTheCursor();
};

void TestStatementSplitter::splitsWhereTheDatabaseWould_data()
{
    using D = SqlDialect;
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("statements");

    QTest::newRow("blank line inside an UPDATE")
        << D::Sqlite << "UPDATE t SET a = 1\n\nWHERE id = 2;\nSELECT 1"
        << QStringList{"UPDATE t SET a = 1\n\nWHERE id = 2", "SELECT 1"};
    QTest::newRow("comments inside and between")
        << D::PostgreSql << "-- first\nDELETE FROM t -- why\n/* ; */ WHERE id = 1; /* done */\n-- ; no\n"
        << QStringList{"DELETE FROM t -- why\n/* ; */ WHERE id = 1"};
    QTest::newRow("semicolons in quotes")
        << D::Sqlite << "INSERT INTO \"a;b\" VALUES ('x;''y', [c;d], `e;f`); SELECT ';'"
        << QStringList{"INSERT INTO \"a;b\" VALUES ('x;''y', [c;d], `e;f`)", "SELECT ';'"};
    QTest::newRow("empty statements") << D::Standard << ";;  ;\nSELECT 1;;" << QStringList{"SELECT 1"};
    QTest::newRow("no terminator at the end")
        << D::MySql << "SELECT 1;\nSELECT 2\n-- trailing" << QStringList{"SELECT 1", "SELECT 2"};
    QTest::newRow("unclosed quote runs to the end") << D::PostgreSql << "SELECT 1; SELECT 'oops; SELECT 2"
                                                    << QStringList{"SELECT 1", "SELECT 'oops; SELECT 2"};

    // PostgreSQL
    QTest::newRow("pg dollar quoted function")
        << D::PostgreSql
        << "CREATE FUNCTION f() RETURNS trigger AS $body$\nBEGIN\n  NEW.x := 'a;b'; RETURN "
           "NEW;\nEND;\n$body$ "
           "LANGUAGE plpgsql;\nSELECT $1, a$b FROM t;"
        << QStringList{"CREATE FUNCTION f() RETURNS trigger AS $body$\nBEGIN\n  NEW.x := 'a;b'; RETURN "
                       "NEW;\nEND;\n$body$ LANGUAGE plpgsql",
                       "SELECT $1, a$b FROM t"};
    QTest::newRow("pg dollar quotes nest by tag")
        << D::PostgreSql << "DO $$ BEGIN EXECUTE $q$SELECT ';'$q$; END $$; SELECT 2"
        << QStringList{"DO $$ BEGIN EXECUTE $q$SELECT ';'$q$; END $$", "SELECT 2"};
    QTest::newRow("pg nested block comments")
        << D::PostgreSql << "/* a /* b; */ c; */ SELECT 1; SELECT 2" << QStringList{"SELECT 1", "SELECT 2"};
    QTest::newRow("pg escape string") << D::PostgreSql << "SELECT E'it\\'s; fine', 'C:\\'; SELECT 2"
                                      << QStringList{"SELECT E'it\\'s; fine', 'C:\\'", "SELECT 2"};
    QTest::newRow("pg rule with several actions")
        << D::PostgreSql
        << "CREATE RULE r AS ON INSERT TO t DO ALSO (INSERT INTO a VALUES (1); DELETE FROM b); SELECT 1"
        << QStringList{"CREATE RULE r AS ON INSERT TO t DO ALSO (INSERT INTO a VALUES (1); DELETE FROM b)",
                       "SELECT 1"};
    QTest::newRow("pg standard function body")
        << D::PostgreSql
        << "CREATE FUNCTION g(a int) RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT CASE WHEN a > 0 THEN 1 "
           "END; "
           "SELECT 2; END; SELECT 3"
        << QStringList{
               "CREATE FUNCTION g(a int) RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT CASE WHEN a > 0 "
               "THEN 1 END; SELECT 2; END",
               "SELECT 3"};
    QTest::newRow("pg transaction is no body") << D::PostgreSql << "BEGIN; UPDATE t SET a = 1; END;"
                                               << QStringList{"BEGIN", "UPDATE t SET a = 1", "END"};

    // MySQL
    QTest::newRow("mysql backslash escapes and hash comments")
        << D::MySql << "INSERT INTO t VALUES ('it\\'s; \\\\', \"say \\\"hi;\\\"\"); # note; here\nSELECT 2"
        << QStringList{"INSERT INTO t VALUES ('it\\'s; \\\\', \"say \\\"hi;\\\"\")", "SELECT 2"};
    QTest::newRow("mysql -- needs a blank")
        << D::MySql << "SELECT 1--1;\nSELECT 2 -- a; b\n;" << QStringList{"SELECT 1--1", "SELECT 2"};
    QTest::newRow("mysql executable comments are statements")
        << D::MySql << "/*!40101 SET NAMES utf8mb4 */;\n/* plain; */\nSELECT 1;"
        << QStringList{"/*!40101 SET NAMES utf8mb4 */", "SELECT 1"};
    QTest::newRow("mysql DELIMITER")
        << D::MySql
        << "DELIMITER $$\nCREATE PROCEDURE p()\nBEGIN\n  SELECT 1; SELECT 2;\nEND$$\nDELIMITER ;\nCALL p();"
        << QStringList{"CREATE PROCEDURE p()\nBEGIN\n  SELECT 1; SELECT 2;\nEND", "CALL p()"};
    QTest::newRow("mysql DELIMITER ;; of a dump")
        << D::MySql
        << "DELIMITER ;;\n/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`%`*/ /*!50003 TRIGGER t BEFORE INSERT "
           "ON x "
           "FOR EACH ROW BEGIN SET NEW.a = 1; END */;;\nDELIMITER ;\nSELECT 1;"
        << QStringList{
               "/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`%`*/ /*!50003 TRIGGER t BEFORE INSERT ON x "
               "FOR EACH ROW BEGIN SET NEW.a = 1; END */",
               "SELECT 1"};
    QTest::newRow("mysql trigger body without DELIMITER")
        << D::MySql
        << "CREATE DEFINER=`a`@`%` TRIGGER t BEFORE UPDATE ON x FOR EACH ROW BEGIN\n  IF NEW.a < 0 THEN SET "
           "NEW.a "
           "= 0; END IF;\n  CASE NEW.b WHEN 1 THEN SET NEW.c = 2; ELSE BEGIN END; END CASE;\nEND;\nSELECT 1"
        << QStringList{
               "CREATE DEFINER=`a`@`%` TRIGGER t BEFORE UPDATE ON x FOR EACH ROW BEGIN\n  IF NEW.a < 0 "
               "THEN SET NEW.a = 0; END IF;\n  CASE NEW.b WHEN 1 THEN SET NEW.c = 2; ELSE BEGIN END; END "
               "CASE;\nEND",
               "SELECT 1"};
    QTest::newRow("mysql function with loops")
        << D::MySql
        << "CREATE FUNCTION f(n INT) RETURNS INT DETERMINISTIC\nBEGIN\n  DECLARE i INT DEFAULT 0;\n  l: LOOP "
           "SET i "
           "= i + 1; IF i > n THEN LEAVE l; END IF; END LOOP l;\n  WHILE i > 0 DO SET i = i - 1; END "
           "WHILE;\n  "
           "RETURN i;\nEND;\nSELECT f(3);"
        << QStringList{
               "CREATE FUNCTION f(n INT) RETURNS INT DETERMINISTIC\nBEGIN\n  DECLARE i INT DEFAULT 0;\n  "
               "l: LOOP SET i = i + 1; IF i > n THEN LEAVE l; END IF; END LOOP l;\n  WHILE i > 0 DO SET i "
               "= i - 1; END WHILE;\n  RETURN i;\nEND",
               "SELECT f(3)"};
    QTest::newRow("mariadb anonymous block")
        << D::MySql << "BEGIN NOT ATOMIC SELECT 1; SELECT 2; END; SELECT 3"
        << QStringList{"BEGIN NOT ATOMIC SELECT 1; SELECT 2; END", "SELECT 3"};
    QTest::newRow("mysql table named function is no routine")
        << D::MySql << "CREATE TABLE `function` (`begin` INT); INSERT INTO `function` VALUES (1);"
        << QStringList{"CREATE TABLE `function` (`begin` INT)", "INSERT INTO `function` VALUES (1)"};

    // SQLite
    QTest::newRow("sqlite trigger")
        << D::Sqlite
        << "CREATE TRIGGER IF NOT EXISTS t AFTER INSERT ON a WHEN NEW.x > 0\nBEGIN\n  UPDATE b SET n = CASE "
           "WHEN n "
           "IS NULL THEN 1 ELSE n + 1 END;\n  INSERT INTO log VALUES ('a;');\nEND;\nSELECT 1;"
        << QStringList{
               "CREATE TRIGGER IF NOT EXISTS t AFTER INSERT ON a WHEN NEW.x > 0\nBEGIN\n  UPDATE b SET n = "
               "CASE WHEN n IS NULL THEN 1 ELSE n + 1 END;\n  INSERT INTO log VALUES ('a;');\nEND",
               "SELECT 1"};
    QTest::newRow("sqlite temp trigger in a transaction")
        << D::Sqlite
        << "BEGIN TRANSACTION;\nCREATE TEMP TRIGGER t DELETE ON a BEGIN DELETE FROM b; END;\nCOMMIT;"
        << QStringList{"BEGIN TRANSACTION", "CREATE TEMP TRIGGER t DELETE ON a BEGIN DELETE FROM b; END",
                       "COMMIT"};

    // SQL Server
    QTest::newRow("sql server GO batches")
        << D::SqlServer
        << "DECLARE @x int; SET @x = 1;\nSELECT @x\ngo\nCREATE PROCEDURE p AS\nBEGIN\n  SELECT [a;b] FROM t; "
           "-- GO\nEND\n  GO 2 -- twice\nSELECT 'GO'\nGO"
        << QStringList{"DECLARE @x int; SET @x = 1;\nSELECT @x",
                       "CREATE PROCEDURE p AS\nBEGIN\n  SELECT [a;b] FROM t; -- GO\nEND", "SELECT 'GO'"};
    QTest::newRow("sql server GO is a whole line")
        << D::SqlServer << "SELECT go FROM t\nGO\nEXEC goal" << QStringList{"SELECT go FROM t", "EXEC goal"};
}

void TestStatementSplitter::splitsWhereTheDatabaseWould()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, script);
    QFETCH(QStringList, statements);
    QStringList texts;
    for (const SqlStatement &statement : StatementSplitter(dialect).split(script))
        texts.append(statement.text);
    QCOMPARE(texts, statements);
}

void TestStatementSplitter::statementsKnowWhereTheyAre()
{
    const QString script = QStringLiteral("-- header\n\nSELECT 1;  SELECT\n  2 ;\n\n\n/* x */ SELECT 3");
    const QList<SqlStatement> statements = StatementSplitter(SqlDialect::Sqlite).split(script);
    QCOMPARE(statements.size(), 3);
    QList<int> lines;
    for (const SqlStatement &s : statements) {
        lines.append(s.line);
        QCOMPARE(script.mid(s.start, s.end - s.start), s.text);
    }
    QCOMPARE(lines, (QList<int>{3, 3, 7}));
    QCOMPARE(script.mid(statements[1].end, statements[1].terminatorEnd - statements[1].end),
             QStringLiteral(" ;"));
    QCOMPARE(statements[2].terminatorEnd, statements[2].end);
}

void TestStatementSplitter::psqlCommandsAndCopyDataStayApart()
{
    const QString script = QStringLiteral("\\restrict abc\nSET x = 1;\nCOPY public.t (a, b) FROM stdin;\n"
                                          "1\tit's; here\n2\t\\N\n\\.\n\nSELECT 2;\n\\unrestrict abc\n");
    const QList<SqlStatement> statements = StatementSplitter(SqlDialect::PostgreSql).split(script);
    QStringList texts;
    QList<SqlStatement::Kind> kinds;
    for (const SqlStatement &s : statements) {
        texts.append(s.text);
        kinds.append(s.kind);
    }
    QCOMPARE(texts, (QStringList{"\\restrict abc", "SET x = 1", "COPY public.t (a, b) FROM stdin", "SELECT 2",
                                 "\\unrestrict abc"}));
    using K = SqlStatement::Kind;
    QCOMPARE(kinds, (QList<K>{K::ClientCommand, K::Sql, K::Sql, K::Sql, K::ClientCommand}));
    QCOMPARE(statements[3].line, 8);
}

void TestStatementSplitter::statementUnderTheCursor_data()
{
    QTest::addColumn<QString>("script"); // "|" marks the cursor
    QTest::addColumn<QString>("expected");
    QTest::newRow("inside") << "SELECT 1;\nSEL|ECT 2;\nSELECT 3;"
                            << "SELECT 2";
    QTest::newRow("at its start") << "SELECT 1; |SELECT 2;"
                                  << "SELECT 2";
    QTest::newRow("right after its terminator") << "SELECT 1;|\nSELECT 2;"
                                                << "SELECT 1";
    QTest::newRow("after the terminator on its line") << "SELECT 1;  |  \nSELECT 2;"
                                                      << "SELECT 1";
    QTest::newRow("blank line after it") << "SELECT 1;\n|\nSELECT 2;"
                                         << "SELECT 1";
    QTest::newRow("indent before the next") << "SELECT 1;\n\n  |  SELECT 2;"
                                            << "SELECT 2";
    QTest::newRow("blank line inside one statement") << "UPDATE t SET a = 1\n|\nWHERE id = 2;"
                                                     << "UPDATE t SET a = 1\n\nWHERE id = 2";
    QTest::newRow("before the first") << "|\n\nSELECT 1;"
                                      << "SELECT 1";
    QTest::newRow("only comments") << "-- nothing |here"
                                   << "";
}

void TestStatementSplitter::statementUnderTheCursor()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    const qsizetype cursor = script.indexOf(QLatin1Char('|'));
    script.remove(cursor, 1);
    const std::optional<SqlStatement> found =
        StatementSplitter(SqlDialect::Sqlite).statementAt(script, cursor);
    QCOMPARE(found ? found->text : QString(), expected);
}

QTEST_GUILESS_MAIN(TestStatementSplitter)
#include "tst_statementsplitter.moc"
