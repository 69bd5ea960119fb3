// SQL text with a NUL character never reaches a provider: one would run only the part before
// it, another would never finish.
#include "db/DataAccess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSqlNul : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    Connection m_connection;

    qint64 rowCount()
    {
        const ExecResult result = m_connection.execute(QStringLiteral("SELECT count(*) FROM t"));
        return result.recordset->value(0, 0).toLongLong();
    }

private slots:
    void initTestCase()
    {
        // An empty file is an empty SQLite database.
        QFile file(m_dir.filePath(QStringLiteral("nul.db")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file.fileName());
        m_connection.open();
        m_connection.execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)"));
        m_connection.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')"));
    }

    void refusedBeforeTheProvider_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("withParameters");
        const QChar nul(u'\0');
        QTest::newRow("delete cut short")
            << QStringLiteral("DELETE FROM t") + nul + QStringLiteral("WHERE id = 1") << false;
        QTest::newRow("delete cut short, with parameters")
            << QStringLiteral("DELETE FROM t") + nul + QStringLiteral("WHERE id = ?") << true;
        QTest::newRow("inside a literal")
            << QStringLiteral("SELECT 'a") + nul + QStringLiteral("b'") << false;
        QTest::newRow("at the end") << QStringLiteral("SELECT 1") + nul << false;
    }
    void refusedBeforeTheProvider()
    {
        QFETCH(QString, sql);
        QFETCH(bool, withParameters);
        try {
            if (withParameters)
                m_connection.executeParams(sql, {QVariant(1)});
            else
                m_connection.execute(sql);
            QFAIL("the statement ran");
        } catch (const DataAccessError &e) {
            QVERIFY2(e.text().contains(QStringLiteral("NUL character")), qPrintable(e.text()));
        }
        QCOMPARE(rowCount(), 3);
        // The connection goes on as before.
        QCOMPARE(m_connection.executeParams(QStringLiteral("SELECT name FROM t WHERE id = ?"), {QVariant(2)})
                     .recordset->value(0, 0)
                     .toString(),
                 QStringLiteral("b"));
    }
};

QTEST_GUILESS_MAIN(TestSqlNul)
#include "tst_sqlnul.moc"
