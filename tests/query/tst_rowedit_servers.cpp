#include "EditCases.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "db/DataAccess.h"

#include "query/Query.h"
#include "query/RowEditor.h"

#include <QHash>
#include <QTest>

// Record editing against the PostgreSQL and MariaDB test servers: each posts one statement with
// bound parameters and reads generated keys back in its own way.
class TestRowEditServers : public QObject
{
    Q_OBJECT

private slots:
    void editInsertDeleteRoundTrip_data();
    void editInsertDeleteRoundTrip();
    void editsTouchExactlyOneRow_data();
    void editsTouchExactlyOneRow();
    void editInsideAnOpenTransaction_data();
    void editInsideAnOpenTransaction();

private:
    // An empty database of the family's test server, or a failed or skipped test.
    static QString freshDatabase(EditFamily family);
};

QString TestRowEditServers::freshDatabase(EditFamily family)
{
    const bool mysql = family == EditFamily::MySql;
    const QString base = mysql ? TestServers::mysqlConnectionString() : TestServers::pgConnectionString();
    if (base.isEmpty())
        return QString();
    // One database per server for all rows; each row starts with it emptied, which is much
    // quicker than making a database.
    static QHash<bool, QString> made;
    if (!made.contains(mysql))
        made.insert(mysql, TestServers::freshDatabase(base, QStringLiteral("orvessa_edit_cases")));
    const QString fresh = made.value(mysql);
    Connection connection;
    connection.setConnectionString(fresh);
    connection.open();
    if (mysql) {
        const ExecResult tables = connection.execute(QStringLiteral(
            "SELECT table_name FROM information_schema.tables WHERE table_schema = DATABASE()"));
        for (qint64 row = 0; tables.recordset && row < tables.recordset->rowCount(); ++row)
            connection.execute(QStringLiteral("DROP TABLE ") +
                               connection.quoteIdentifier(tables.recordset->value(row, 0).toString()));
    } else {
        connection.execute(QStringLiteral("DROP SCHEMA public CASCADE"));
        connection.execute(QStringLiteral("CREATE SCHEMA public"));
    }
    return family == EditFamily::OdbcPostgres ? EditCases::pgOdbcString(fresh) : fresh;
}

void TestRowEditServers::editsTouchExactlyOneRow_data()
{
    EditCases::addRows({EditFamily::Postgres, EditFamily::OdbcPostgres, EditFamily::MySql});
}

void TestRowEditServers::editsTouchExactlyOneRow()
{
    QFETCH(EditFamily, family);
    ORVESSA_REQUIRE_PG(pg);
    ORVESSA_REQUIRE_MYSQL(mysql);
    EditCases::run(freshDatabase(family));
}

void TestRowEditServers::editInsideAnOpenTransaction_data()
{
    EditCases::addFamilyRows({EditFamily::Postgres, EditFamily::OdbcPostgres, EditFamily::MySql});
}

void TestRowEditServers::editInsideAnOpenTransaction()
{
    QFETCH(EditFamily, family);
    ORVESSA_REQUIRE_PG(pg);
    ORVESSA_REQUIRE_MYSQL(mysql);
    EditCases::runInsideOpenTransaction(freshDatabase(family));
}

void TestRowEditServers::editInsertDeleteRoundTrip_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("ddl");
    QTest::newRow("postgresql") << "pg"
                                << "CREATE TABLE people (id SERIAL PRIMARY KEY, name VARCHAR(40) NOT NULL, "
                                   "score DOUBLE PRECISION, note TEXT)";
    QTest::newRow("mariadb")
        << "mysql"
        << "CREATE TABLE people (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT NULL, "
           "score DOUBLE, note TEXT)";
}

void TestRowEditServers::editInsertDeleteRoundTrip()
{
    QFETCH(QString, server);
    QFETCH(QString, ddl);
    const QString base = server == QLatin1String("pg") ? TestServers::pgConnectionString()
                                                       : TestServers::mysqlConnectionString();
    if (base.isEmpty()) {
        if (TestServers::requiredByCi())
            QFAIL("test server not running: run scripts/start-test-servers and source its env file");
        QSKIP("test server not running (scripts/start-test-servers, then source the env file)");
    }
    ScriptedPrompt prompt;
    Connection connection;
    connection.setConnectionString(TestServers::freshDatabase(base, QStringLiteral("orvessa_grid_edit")));
    connection.open();
    connection.execute(ddl);
    connection.execute(QStringLiteral("INSERT INTO people (name, score, note) VALUES ('Ann', 1.5, NULL), "
                                      "('Bob', 2, 'x'), ('Cy', NULL, 'y')"));
    auto scalar = [&connection](const QString &sql) {
        ExecResult r = connection.execute(sql);
        return r.recordset && r.recordset->rowCount() > 0 ? r.recordset->value(0, 0) : QVariant();
    };

    Query query(&connection);
    RowEditor editor(&query);
    QStringList errors;
    editor.setErrorHandler([&errors](const QString &text) { errors.append(text); });
    query.setSql(QStringLiteral("SELECT id, name, score, note FROM people ORDER BY id"));
    QVERIFY(query.run());
    QVERIFY2(editor.isEditable(), qPrintable(editor.readOnlyReason()));

    // Update: the NULL note of the first row is matched with IS NULL.
    QVERIFY(editor.setValue(3, QStringLiteral("first")));
    QVERIFY(editor.setValue(2, QStringLiteral("7.25")));
    QVERIFY(editor.next());
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(scalar(QStringLiteral("SELECT note FROM people WHERE id = 1")).toString(),
             QStringLiteral("first"));
    QCOMPARE(scalar(QStringLiteral("SELECT score FROM people WHERE id = 1")).toDouble(), 7.25);
    QCOMPARE(query.recordset()->value(0, 2).toDouble(), 7.25);

    // Insert: the generated key comes back into the row.
    QVERIFY(editor.insert());
    QVERIFY(editor.setValue(1, QStringLiteral("Dee")));
    QVERIFY(editor.post());
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(query.recordset()->value(3, 0).toLongLong(), 4);
    QCOMPARE(scalar(QStringLiteral("SELECT name FROM people WHERE id = 4")).toString(),
             QStringLiteral("Dee"));

    // Delete (the window asks first; the record editor does not).
    QVERIFY(editor.setCurrentRow(1));
    QVERIFY(editor.remove());
    QVERIFY(prompt.dialogs.isEmpty());
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM people")).toInt(), 3);
    QCOMPARE(query.recordset()->rowCount(), 3);

    // Someone else deletes the row being edited: the post fails and says so.
    connection.execute(QStringLiteral("DELETE FROM people WHERE name = 'Cy'"));
    QVERIFY(editor.setCurrentRow(1));
    QVERIFY(editor.setValue(1, QStringLiteral("Cyd")));
    QVERIFY(!editor.post());
    QCOMPARE(errors, QStringList{RowEditor::conflictText()});
}

QTEST_GUILESS_MAIN(TestRowEditServers)
#include "tst_rowedit_servers.moc"
