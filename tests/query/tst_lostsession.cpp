#include "connection/CatalogueReader.h"
#include "db/fetch/Fetch.h"
#include "maintenance/Statistics.h"
#include "query/EditAnalysis.h"
#include "query/TableDescription.h"

#include <QTest>

namespace {

// A database whose session goes away at the first call of a given kind: that call fails as a
// server gone away fails; the others answer with nothing.
class LosingBackend : public Backend
{
public:
    explicit LosingBackend(QString losingCall) : m_losingCall(std::move(losingCall)) {}

    void connect() override {}
    void disconnect() override {}
    SqlDialect dialect() const override { return SqlDialect::Sqlite; }
    QString defaultDatabase() override { return answer<QString>("defaultDatabase"); }
    QString defaultSchema() override { return answer<QString>("defaultSchema"); }
    QList<TableInfo> tables() override
    {
        TableInfo t;
        t.name = QStringLiteral("t");
        t.type = QStringLiteral("TABLE");
        return {t};
    }
    QList<ColumnInfo> columns(const QString &, const QString &) override
    {
        return answer<QList<ColumnInfo>>("columns");
    }
    QList<KeyColumnInfo> primaryKeys(const QString &, const QString &) override
    {
        return answer<QList<KeyColumnInfo>>("primaryKeys");
    }
    QList<ForeignKeyInfo> foreignKeys(const QString &, const QString &) override
    {
        return answer<QList<ForeignKeyInfo>>("foreignKeys");
    }
    QList<IndexInfo> indexes(const QString &, const QString &) override
    {
        return answer<QList<IndexInfo>>("indexes");
    }
    TableMetadata tableMetadata(const QString &, const QString &) override
    {
        return answer<TableMetadata>("tableMetadata");
    }
    std::unique_ptr<StatementCursor> openCursor(const QString &, const QList<QVariant> *) override
    {
        answer<int>("openCursor");
        throw DataAccessError(QStringLiteral("no such table"));
    }
    void cancel() override {}
    QString placeholder(int) const override { return QStringLiteral("?"); }

    static QString text() { return QStringLiteral("server closed the connection unexpectedly"); }

private:
    template <typename T> T answer(const char *call) const
    {
        if (m_losingCall == QLatin1String(call))
            throw ConnectionLostError(text());
        return T();
    }

    QString m_losingCall;
};

} // namespace

// Every fallback that goes on after a failed call lets a lost session through: the work ends, the
// connection closes itself and the caller hears of it, instead of carrying on with broken objects.
class TestLostSession : public QObject
{
    Q_OBJECT

private slots:
    void fallbacksLetALostSessionThrough_data();
    void fallbacksLetALostSessionThrough();
};

void TestLostSession::fallbacksLetALostSessionThrough_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("losingCall");
    const std::pair<const char *, const char *> cases[] = {
        {"catalogue", "defaultSchema"},       {"catalogue", "columns"},
        {"catalogue", "tableMetadata"},       {"catalogue", "primaryKeys"},
        {"table description", "primaryKeys"}, {"table description", "foreignKeys"},
        {"table description", "columns"},     {"edit analysis", "columns"},
        {"statistics", "openCursor"},         {"default database", "defaultDatabase"}};
    for (const auto &[reader, call] : cases)
        QTest::addRow("%s, %s", reader, call) << QString::fromLatin1(reader) << QString::fromLatin1(call);
}

void TestLostSession::fallbacksLetALostSessionThrough()
{
    QFETCH(QString, reader);
    QFETCH(QString, losingCall);
    Connection connection;
    int disconnects = 0;
    connection.setAfterDisconnect([&] { ++disconnects; });
    connection.openWith(std::make_unique<LosingBackend>(losingCall));
    try {
        if (reader == QLatin1String("catalogue")) {
            CatalogueReader(connection).read(CatalogueReader::Detail::ColumnsAndKeys);
        } else if (reader == QLatin1String("table description")) {
            TableDescription::read(
                connection, QString(), QStringLiteral("t"), [] { return QList<FieldInfo>(); },
                [](const QString &) {});
        } else if (reader == QLatin1String("edit analysis")) {
            FieldInfo field;
            field.name = field.baseColumn = QStringLiteral("id");
            field.baseTable = QStringLiteral("t");
            connection.run([&] { EditAnalysis::analyse(connection, {field}); });
        } else if (reader == QLatin1String("statistics")) {
            QStringList skipped;
            connection.run([&] { statistics::sqliteText(connection, skipped); });
        } else {
            connection.run([&] { connection.defaultDatabase(); });
        }
        QFAIL("the lost session was swallowed");
    } catch (const ConnectionLostError &e) {
        QCOMPARE(e.text(), LosingBackend::text());
    }
    QVERIFY(!connection.isOpen());
    QVERIFY(connection.connectionLost());
    QCOMPARE(disconnects, 1);
}

QTEST_GUILESS_MAIN(TestLostSession)
#include "tst_lostsession.moc"
