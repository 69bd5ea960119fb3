#include "common/AppError.h"
#include "connection/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void write_data();
    void write();
    void writtenFileReadsBack();
    void missingFileReadsEmpty();
    void unwritableTargetThrows();
    void newProfilesArePrivateAndRewritesKeepTheMode();
    void aProfileWithAPasswordIsForItsOwnerAlone_data();
    void aProfileWithAPasswordIsForItsOwnerAlone();
    void symlinkedProfileIsWrittenThrough_data();
    void symlinkedProfileIsWrittenThrough();

private:
    QTemporaryDir m_dir;
};

void TestProfile::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("value");

    QTest::newRow("Windows-1252 with CRLF and an accent")
        << QByteArray("[DB]\r\nConnString=Provider=SQLite;Data Source=C:\\Dados\\Caf\xE9 \x80.sqlite\r\n")
        << QStringLiteral("Provider=SQLite;Data Source=C:\\Dados\\Café €.sqlite");
    QTest::newRow("UTF-16LE with BOM")
        << utf16le(QStringLiteral("[DB]\r\nConnString=Provider=PostgreSQL;Data Source=Ωmega\r\n"))
        << QStringLiteral("Provider=PostgreSQL;Data Source=Ωmega");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF[DB]\nConnString=Caf\xC3\xA9\n")
                                    << QStringLiteral("Café");
    QTest::newRow("UTF-8 without BOM")
        << QByteArray("[DB]\nConnString=Caf\xC3\xA9") << QStringLiteral("Café");
    QTest::newRow("names without case, blanks trimmed")
        << QByteArray("  [ db ]  \r\n  connstring  =  Provider=x  \r\n") << QStringLiteral("Provider=x");
    QTest::newRow("one pair of quotes taken off")
        << QByteArray("[DB]\r\nConnString=\"\"Provider=x; a\"\"\r\n") << QStringLiteral("\"Provider=x; a\"");
    QTest::newRow("key of another section not read")
        << QByteArray("[Other]\r\nConnString=x\r\n[DB]\r\nKey=y\r\n[More]\r\nConnString=z\r\n") << QString();
    QTest::newRow("first of two DB sections counts")
        << QByteArray("[DB]\r\nA=1\r\n[DB]\r\nConnString=late\r\n") << QString();
    QTest::newRow("value longer than 2047 characters read whole")
        << QByteArray("[DB]\r\nConnString=" + QByteArray(5000, 'x') + "\r\n")
        << QString(5000, QLatin1Char('x'));
    QTest::newRow("damaged UTF-16LE still splits into lines")
        << utf16le(QStringLiteral("x") + QChar(0xDC44) + QStringLiteral("\r\n[DB]\r\nConnString=v\r\n"))
        << QStringLiteral("v");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("binary file") << QByteArray("\x00\x01\x02\xFF\xFE[\x00", 8) << QString();
}

void TestProfile::read()
{
    QFETCH(QByteArray, bytes);
    const QString name = m_dir.filePath(QStringLiteral("read.ovs"));
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    QTEST(ProfileFile::readString(name, QStringLiteral("DB"), QStringLiteral("ConnString")), "value");
}

void TestProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << QStringLiteral("Provider=SQLite;Data Source=a.db")
                              << QByteArray("[DB]\r\nConnString=Provider=SQLite;Data Source=a.db\r\n");
    QTest::newRow("other sections and keys kept in order")
        << QByteArray("[First]\r\nA=1\r\n\r\n[db]\r\nOther=2\r\nconnstring = old\r\n\r\n[Last]\r\nB=3\r\n")
        << QStringLiteral("new")
        << QByteArray("[First]\r\nA=1\r\n\r\n[db]\r\nOther=2\r\nConnString=new\r\n\r\n[Last]\r\nB=3\r\n");
    QTest::newRow("key added at the end of its section")
        << QByteArray("[DB]\nOther=2\n\n[Last]\nB=3") << QStringLiteral("v")
        << QByteArray("[DB]\r\nOther=2\r\nConnString=v\r\n\r\n[Last]\r\nB=3\r\n");
    QTest::newRow("section added at the end") << QByteArray("[First]\r\nA=1\r\n") << QStringLiteral("v")
                                              << QByteArray("[First]\r\nA=1\r\n[DB]\r\nConnString=v\r\n");
    QTest::newRow("Windows-1252 when every character fits")
        << QByteArray() << QStringLiteral("Café €") << QByteArray("[DB]\r\nConnString=Caf\xE9 \x80\r\n");
    QTest::newRow("UTF-16LE for text whose Windows-1252 bytes read as UTF-8")
        << QByteArray() << QStringLiteral("Ã©") << utf16le(QStringLiteral("[DB]\r\nConnString=Ã©\r\n"));
    QTest::newRow("UTF-16LE otherwise")
        << QByteArray() << QStringLiteral("Ωmega") << utf16le(QStringLiteral("[DB]\r\nConnString=Ωmega\r\n"));
}

void TestProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    const QString name = m_dir.filePath(QStringLiteral("write.ovs"));
    QFile::remove(name);
    if (!before.isEmpty()) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"), value);
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QTEST(f.readAll(), "after");
}

void TestProfile::writtenFileReadsBack()
{
    const QString name = m_dir.filePath(QStringLiteral("round.ovs"));
    const QString value =
        QStringLiteral("Provider=PostgreSQL;Data Source=h;Password=x=y;Initial Catalog=Ωmega");
    ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"), value);
    QCOMPARE(ProfileFile::readString(name, QStringLiteral("DB"), QStringLiteral("ConnString")), value);
    // No temporary file is left beside the profile.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*round*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("round.ovs")});
}

void TestProfile::missingFileReadsEmpty()
{
    QCOMPARE(ProfileFile::readString(m_dir.filePath(QStringLiteral("none.ovs")), QStringLiteral("DB"),
                                     QStringLiteral("ConnString")),
             QString());
}

void TestProfile::unwritableTargetThrows()
{
    const QString name = m_dir.filePath(QStringLiteral("no/such/folder/p.ovs"));
    try {
        ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"),
                                 QStringLiteral("x"));
        QFAIL("no error");
    } catch (const AppError &e) {
        QCOMPARE(e.text(), QStringLiteral("Unable to write to ") + name);
    }
}

void TestProfile::newProfilesArePrivateAndRewritesKeepTheMode()
{
    const mode_t previous = ::umask(022);
    const QString name = m_dir.filePath(QStringLiteral("plain.ovs"));
    ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"),
                             QStringLiteral("Provider=SQLite;Data Source=a.db"));
    QCOMPARE(modeOf(name), mode_t(0600));

    // A mode the user chose stays while the profile holds no password.
    QCOMPARE(::chmod(QFile::encodeName(name).constData(), 0644), 0);
    const ProfileFile::Written written =
        ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"),
                                 QStringLiteral("Provider=SQLite;Data Source=b.db"));
    ::umask(previous);
    QCOMPARE(modeOf(name), mode_t(0644));
    QCOMPARE(written.narrowedFrom, mode_t(0));
    QCOMPARE(ProfileFile::readString(name, QStringLiteral("DB"), QStringLiteral("ConnString")),
             QStringLiteral("Provider=SQLite;Data Source=b.db"));
}

void TestProfile::aProfileWithAPasswordIsForItsOwnerAlone_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("mode"); // of the file before; 0: no file yet
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("narrowedFrom");
    QTest::newRow("world-readable with a password")
        << "Provider=MySQL;User ID=u;Password=s" << 0644 << 0600 << 0644;
    QTest::newRow("group-readable with PWD") << "DSN=x;pwd={a;b}" << 0640 << 0600 << 0640;
    QTest::newRow("password of a nested string")
        << "Provider=MSDASQL;Extended Properties=\"DSN=x;PWD=s\"" << 0664 << 0600 << 0664;
    QTest::newRow("already private") << "Password=s" << 0600 << 0600 << 0;
    QTest::newRow("read-only for its owner stays so") << "Password=s" << 0400 << 0400 << 0;
    QTest::newRow("new file") << "Password=s" << 0 << 0600 << 0;
    QTest::newRow("no password keeps the mode") << "Provider=SQLite;Data Source=a.db" << 0644 << 0644 << 0;
}

void TestProfile::aProfileWithAPasswordIsForItsOwnerAlone()
{
    QFETCH(QString, value);
    QFETCH(int, mode);
    QFETCH(int, written);
    QFETCH(int, narrowedFrom);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("p.ovs"));
    if (mode) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Other]\r\nKept=1\r\n");
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(name).constData(), mode_t(mode)), 0);
    }
    const ProfileFile::Written result =
        ProfileFile::writeString(name, QStringLiteral("DB"), QStringLiteral("ConnString"), value);
    QCOMPARE(int(modeOf(name)), written);
    QCOMPARE(int(result.narrowedFrom), narrowedFrom);
    QCOMPARE(ProfileFile::readString(name, QStringLiteral("DB"), QStringLiteral("ConnString")), value);
}

void TestProfile::symlinkedProfileIsWrittenThrough_data()
{
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("absolute link") << true << true;
    QTest::newRow("relative link") << false << true;
    QTest::newRow("dangling link creates its target") << false << false;
}

void TestProfile::symlinkedProfileIsWrittenThrough()
{
    QFETCH(bool, absolute);
    QFETCH(bool, targetExists);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString target = dir.filePath(QStringLiteral("real/p.ovs"));
    if (targetExists)
        ProfileFile::writeString(target, QStringLiteral("Other"), QStringLiteral("Kept"),
                                 QStringLiteral("1"));
    const QString link = dir.filePath(QStringLiteral("link.ovs"));
    QVERIFY(QFile::link(absolute ? target : QStringLiteral("real/p.ovs"), link));

    ProfileFile::writeString(link, QStringLiteral("DB"), QStringLiteral("ConnString"), QStringLiteral("X=1"));

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ProfileFile::readString(target, QStringLiteral("DB"), QStringLiteral("ConnString")),
             QStringLiteral("X=1"));
    QCOMPARE(ProfileFile::readString(target, QStringLiteral("Other"), QStringLiteral("Kept")),
             targetExists ? QStringLiteral("1") : QString());
    QCOMPARE(QDir(dir.filePath(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("p.ovs")});
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
