// Filters of the result grid: the texts users type, applied in memory and by the database (the
// statement wrapped, its values bound), with the same rows either way.
#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"
#include "query/RowFilter.h"
#include "query/ShapedStatement.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

Q_DECLARE_METATYPE(ColumnFilter::Op)
Q_DECLARE_METATYPE(ColumnFilter::Problem)
Q_DECLARE_METATYPE(SqlDialect)
Q_DECLARE_METATYPE(shaping::Refusal)

namespace {

FieldInfo field(const QString &name, AdoType type)
{
    FieldInfo f;
    f.name = name;
    f.type = type;
    return f;
}

const char *const kPeople =
    "INSERT INTO people VALUES (1, 'Ann', 1.5, '1990-05-01', NULL), (2, 'bob', 2, '1985-12-31', ''), "
    "(3, 'Cy', NULL, NULL, 'it''s; fine'), (4, 'ann marie', 10, '2001-01-01', '50% off'), "
    "(5, 'Dee_x', -3.25, '1990-05-01 12:00:00', 'x')";

QList<qint64> ids(const Recordset &rs, const std::vector<int> &rows)
{
    QList<qint64> out;
    for (const int row : rows)
        out.append(rs.value(row, 0).toLongLong());
    return out;
}

} // namespace

class TestRowFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filterTextsAreParsedOnce_data();
    void filterTextsAreParsedOnce();
    void filtersFindTheSameRowsHereAndInTheDatabase_data();
    void filtersFindTheSameRowsHereAndInTheDatabase();
    void onlyPlainReadsAreRunInsideAnother_data();
    void onlyPlainReadsAreRunInsideAnother();
    void wrappedStatementNamesColumnsAndBindsValues();

private:
    QTemporaryDir m_dir;
    Connection m_sqlite;
    std::unique_ptr<Recordset> m_people;
};

void TestRowFilter::initTestCase()
{
    const QString path = m_dir.filePath(QStringLiteral("filters.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_sqlite.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_sqlite.open();
    m_sqlite.execute(QStringLiteral(
        "CREATE TABLE people (id INTEGER PRIMARY KEY, name VARCHAR(40), score REAL, born DATE, note TEXT)"));
    m_sqlite.execute(QString::fromLatin1(kPeople));
    m_people = m_sqlite.execute(QStringLiteral("SELECT * FROM people ORDER BY id")).recordset;
    QVERIFY(m_people);
    QCOMPARE(m_people->rowCount(), 5);
}

void TestRowFilter::filterTextsAreParsedOnce_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<AdoType>("type");
    QTest::addColumn<ColumnFilter::Op>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QVariant>("parameter");
    QTest::addColumn<ColumnFilter::Problem>("problem");
    using Op = ColumnFilter::Op;
    const auto none = ColumnFilter::Problem::None;
    QTest::newRow("NULL") << "null" << AdoType::VarWChar << Op::IsNull << "" << QVariant() << none;
    QTest::newRow("IS NOT NULL") << " is  not null " << AdoType::Integer << Op::IsNotNull << "" << QVariant()
                                 << none;
    QTest::newRow("compared number") << " >=  5 " << AdoType::Integer << Op::GreaterEqual << "5"
                                     << QVariant(qlonglong(5)) << none;
    QTest::newRow("decimal comma of the interface language")
        << "< 2,5" << AdoType::Double << Op::Less << "2,5" << QVariant(2.5) << none;
    QTest::newRow("quoted value") << "= 'it''s'" << AdoType::VarWChar << Op::Equal << "it's"
                                  << QVariant("it's") << none;
    QTest::newRow("!= is <>") << "!= x" << AdoType::VarWChar << Op::NotEqual << "x" << QVariant("x") << none;
    QTest::newRow("LIKE keeps the wildcards; ! takes % as it is")
        << "like 'a_b!%'" << AdoType::VarWChar << Op::Like << "a_b!%" << QVariant("a_b!%") << none;
    QTest::newRow("a ! before anything else is one itself")
        << "LIKE a!b!" << AdoType::VarWChar << Op::Like << "a!!b!!" << QVariant("a!!b!!") << none;
    QTest::newRow("NOT LIKE") << "NOT LIKE %z" << AdoType::VarWChar << Op::NotLike << "%z" << QVariant("%z")
                              << none;
    QTest::newRow("a text with % is a pattern")
        << "50%" << AdoType::VarWChar << Op::Like << "50%" << QVariant("50%") << none;
    QTest::newRow("other text: the cells that contain it, wildcards taken literally")
        << "a_b!" << AdoType::VarWChar << Op::Like << "%a!_b!!%" << QVariant("%a!_b!!%") << none;
    QTest::newRow("a word that only starts like a keyword")
        << "nullable" << AdoType::VarWChar << Op::Like << "%nullable%" << QVariant("%nullable%") << none;
    QTest::newRow("yes/no values") << "= yes" << AdoType::Boolean << Op::Equal << "yes" << QVariant(true)
                                   << none;
    QTest::newRow("no number for a number column")
        << "= abc" << AdoType::Integer << Op::Equal << "" << QVariant() << ColumnFilter::Problem::NotANumber;
    QTest::newRow("no date for a date column")
        << "> soon" << AdoType::DBDate << Op::Equal << "" << QVariant() << ColumnFilter::Problem::NotADate;
}

void TestRowFilter::filterTextsAreParsedOnce()
{
    QFETCH(QString, text);
    QFETCH(AdoType, type);
    QFETCH(ColumnFilter::Op, op);
    QFETCH(QString, value);
    QFETCH(QVariant, parameter);
    QFETCH(ColumnFilter::Problem, problem);
    ColumnFilter::Problem seen = ColumnFilter::Problem::None;
    const std::optional<ColumnFilter> f = ColumnFilter::parse(
        2, field(QStringLiteral("c"), type), text, QLocale(QLocale::Portuguese, QLocale::Brazil), &seen);
    QCOMPARE(seen, problem);
    if (problem != ColumnFilter::Problem::None) {
        QVERIFY(!f);
        return;
    }
    QVERIFY(f);
    QCOMPARE(f->column(), 2);
    QCOMPARE(f->op(), op);
    if (op != ColumnFilter::Op::IsNull && op != ColumnFilter::Op::IsNotNull) {
        QCOMPARE(f->value(), value);
        QCOMPARE(f->parameter(), parameter);
    }
    QVERIFY(!ColumnFilter::parse(0, field(QStringLiteral("c"), type), QStringLiteral("  "), QLocale::c()));
}

void TestRowFilter::filtersFindTheSameRowsHereAndInTheDatabase_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qint64>>("expected");
    const SqlDialect sqlite = SqlDialect::Sqlite;
    QTest::newRow("= is exact on SQLite") << sqlite << 1 << "= Ann" << QList<qint64>{1};
    QTest::newRow("<> leaves NULL out") << sqlite << 4 << "<> x" << QList<qint64>{2, 3, 4};
    QTest::newRow("contains ignores ASCII case on SQLite") << sqlite << 1 << "ANN" << QList<qint64>{1, 4};
    QTest::newRow("LIKE") << sqlite << 1 << "LIKE a%" << QList<qint64>{1, 4};
    QTest::newRow("NOT LIKE") << sqlite << 1 << "NOT LIKE a%" << QList<qint64>{2, 3, 5};
    QTest::newRow("LIKE with _") << sqlite << 1 << "LIKE D_e_x" << QList<qint64>{5};
    QTest::newRow("contains _ literally") << sqlite << 1 << "_" << QList<qint64>{5};
    QTest::newRow("% alone: every text") << sqlite << 4 << "%" << QList<qint64>{2, 3, 4, 5};
    QTest::newRow("a pattern with %") << sqlite << 4 << "50%" << QList<qint64>{4};
    QTest::newRow("contains % literally") << sqlite << 4 << "LIKE %!%%" << QList<qint64>{4};
    QTest::newRow("NULL") << sqlite << 4 << "NULL" << QList<qint64>{1};
    QTest::newRow("NOT NULL") << sqlite << 2 << "not null" << QList<qint64>{1, 2, 4, 5};
    QTest::newRow("the empty string") << sqlite << 4 << "= ''" << QList<qint64>{2};
    QTest::newRow("> number") << sqlite << 2 << "> 1.5" << QList<qint64>{2, 4};
    QTest::newRow("<= number") << sqlite << 2 << "<= 2" << QList<qint64>{1, 2, 5};
    QTest::newRow("< negative") << sqlite << 2 << "< 0" << QList<qint64>{5};
    QTest::newRow("= integer") << sqlite << 0 << "=3" << QList<qint64>{3};
    QTest::newRow(">= integer") << sqlite << 0 << ">= 4" << QList<qint64>{4, 5};
    QTest::newRow("> date") << sqlite << 3 << "> 1990-01-01" << QList<qint64>{1, 4, 5};
    QTest::newRow("= date") << sqlite << 3 << "= 1990-05-01" << QList<qint64>{1};
    QTest::newRow("quote and semicolon in a value") << sqlite << 4 << "= it's; fine" << QList<qint64>{3};
    QTest::newRow("a value that would end the statement changes nothing else")
        << sqlite << 4 << "= x'; DROP TABLE people; --" << QList<qint64>{};
    QTest::newRow("LIKE on numbers reads their text") << sqlite << 0 << "LIKE 3" << QList<qint64>{3};
    // Checked here only; the server tests hold the same against the servers.
    QTest::newRow("PostgreSQL: contains minds the case")
        << SqlDialect::PostgreSql << 1 << "ann" << QList<qint64>{4};
    QTest::newRow("MySQL: = ignores the case") << SqlDialect::MySql << 1 << "= ANN" << QList<qint64>{1};
}

void TestRowFilter::filtersFindTheSameRowsHereAndInTheDatabase()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QList<qint64>, expected);
    const QList<FieldInfo> &fields = m_people->fields();
    ColumnFilter::Problem problem = ColumnFilter::Problem::None;
    const std::optional<ColumnFilter> f =
        ColumnFilter::parse(column, fields[column], text, QLocale::c(), &problem);
    QVERIFY(f);

    std::vector<int> all(5);
    std::iota(all.begin(), all.end(), 0);
    const RowFilter here({*f}, dialect, QLocale::c());
    QCOMPARE(ids(*m_people, here.apply(m_people->rows(), all)), expected);
    if (dialect != SqlDialect::Sqlite)
        return;

    const QString statement = QStringLiteral("SELECT * FROM people -- all of them");
    const shaping::Statement wrapped = shaping::wrap(statement, fields, {*f}, {SortColumn{0, false}}, dialect,
                                                     [this](int i) { return m_sqlite.placeholder(i); });
    QCOMPARE(wrapped.refusal, shaping::Refusal::None);
    QVERIFY2(!wrapped.sql.contains(f->value()) || f->value().isEmpty(), qPrintable(wrapped.sql));
    const ExecResult there = m_sqlite.executeParams(wrapped.sql, wrapped.params);
    QVERIFY(there.recordset);
    QList<qint64> found;
    for (qint64 row = 0; row < there.recordset->rowCount(); ++row)
        found.append(there.recordset->value(row, 0).toLongLong());
    QCOMPARE(found, expected);
    QCOMPARE(m_sqlite.execute(QStringLiteral("SELECT COUNT(*) FROM people")).recordset->value(0, 0).toInt(),
             5);
}

void TestRowFilter::onlyPlainReadsAreRunInsideAnother_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<shaping::Refusal>("refusal");
    QTest::addColumn<QString>("statement");
    using R = shaping::Refusal;
    const SqlDialect pg = SqlDialect::PostgreSql;
    QTest::newRow("select") << pg << "SELECT 1" << R::None << "SELECT 1";
    QTest::newRow("comment, blanks and a semicolon") << pg << "  -- first\n select * from t;  \n"
                                                     << R::None << "  -- first\n select * from t";
    QTest::newRow("a comment after the semicolon") << pg << "SELECT 1; -- done" << R::None << "SELECT 1";
    QTest::newRow("parentheses") << pg << "(SELECT 1) UNION (SELECT 2)" << R::None
                                 << "(SELECT 1) UNION (SELECT 2)";
    QTest::newRow("WITH") << pg << "WITH x AS (SELECT 1) SELECT * FROM x" << R::None
                          << "WITH x AS (SELECT 1) SELECT * FROM x";
    QTest::newRow("words in strings and quoted names")
        << pg << "SELECT 'insert; into' AS \"update\", E'\\'; drop' FROM t" << R::None
        << "SELECT 'insert; into' AS \"update\", E'\\'; drop' FROM t";
    QTest::newRow("dollar quotes") << pg << "SELECT $x$ ; delete $x$, $1" << R::None
                                   << "SELECT $x$ ; delete $x$, $1";
    QTest::newRow("block comment") << pg << "SELECT 1 /* ; drop */" << R::None << "SELECT 1 /* ; drop */";
    QTest::newRow("MySQL's # comment")
        << SqlDialect::MySql << "SELECT 1 # ; drop" << R::None << "SELECT 1 # ; drop";
    QTest::newRow("two statements") << pg << "SELECT 1; SELECT 2" << R::NotOneStatement << "";
    QTest::newRow("a command") << pg << "UPDATE t SET a = 1" << R::NotAQuery << "";
    QTest::newRow("PRAGMA") << SqlDialect::Sqlite << "PRAGMA table_info(t)" << R::NotAQuery << "";
    QTest::newRow("a WITH that deletes")
        << pg << "WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d" << R::Writes << "";
    QTest::newRow("SELECT INTO") << pg << "SELECT * INTO copy FROM t" << R::Writes << "";
    QTest::newRow("FOR UPDATE") << pg << "SELECT * FROM t FOR UPDATE" << R::Writes << "";
}

void TestRowFilter::onlyPlainReadsAreRunInsideAnother()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, sql);
    QFETCH(shaping::Refusal, refusal);
    QFETCH(QString, statement);
    const shaping::PlainRead read = shaping::plainRead(sql, dialect);
    QCOMPARE(read.refusal, refusal);
    if (refusal == shaping::Refusal::None)
        QCOMPARE(read.statement, statement);
}

void TestRowFilter::wrappedStatementNamesColumnsAndBindsValues()
{
    const QList<FieldInfo> fields = {
        field(QStringLiteral("id"), AdoType::Integer), field(QStringLiteral("Name"), AdoType::VarWChar),
        field(QStringLiteral("note"), AdoType::LongVarWChar), field(QStringLiteral("qty"), AdoType::Numeric),
        field(QStringLiteral("ID"), AdoType::Integer)};
    auto parse = [&](int column, const char *text) {
        return *ColumnFilter::parse(column, fields[column], QString::fromUtf8(text), QLocale::c());
    };
    auto placeholder = [](int i) { return QStringLiteral("$%1").arg(i); };
    const shaping::Statement s =
        shaping::wrap(QStringLiteral("SELECT * FROM t"), fields,
                      {parse(1, "= O'Brien"), parse(3, "> 5"), parse(2, "LIKE 50!%!"), parse(3, "LIKE 1%")},
                      {SortColumn{1, true}, SortColumn{4, false}}, SqlDialect::PostgreSql, placeholder);
    QCOMPARE(s.refusal, shaping::Refusal::None);
    QCOMPARE(s.sql,
             QStringLiteral("SELECT * FROM (\nSELECT * FROM t\n) AS q WHERE \"Name\" = $1 AND qty > $2 AND "
                            "note LIKE $3 ESCAPE '!' AND CAST(qty AS TEXT) LIKE $4 ESCAPE '!' "
                            "ORDER BY \"Name\" DESC, 5"));
    QCOMPARE(s.params, (QList<QVariant>{QStringLiteral("O'Brien"), qlonglong(5), QStringLiteral("50!%!!"),
                                        QStringLiteral("1%")}));
    // A filter on a name that two columns share cannot say which one it means.
    const shaping::Statement repeated =
        shaping::wrap(QStringLiteral("SELECT * FROM t"), fields, {parse(0, "= 1")}, {},
                      SqlDialect::PostgreSql, placeholder);
    QCOMPARE(repeated.refusal, shaping::Refusal::RepeatedName);
}

QTEST_GUILESS_MAIN(TestRowFilter)
#include "tst_rowfilter.moc"
