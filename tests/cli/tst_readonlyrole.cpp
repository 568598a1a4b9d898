// The read-only role that README tells administrators to make, made from README's own
// statements: the window's probe and every terminal report work with it, and it can change
// nothing.
#include "config.h"
#include "dbroutines.h"
#include "searchquery.h"
#include "testdatabase.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kRole = QStringLiteral("linetally_reader");
const QString kReadmePassword = QStringLiteral("choose-a-long-password");

// The statements between README's markers, one per line.
QStringList readmeStatements() {
    QFile readme(LINETALLY_README);
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype start = text.indexOf(QLatin1String("<!-- read-only role -->"));
    const qsizetype end = text.indexOf(QLatin1String("<!-- end of read-only role -->"));
    if (start < 0 || end < start)
        return {};
    QStringList statements;
    for (const QString& line : text.mid(start, end - start).split(u'\n').mid(1)) {
        if (line.startsWith(QLatin1String("    ")))
            statements << line.trimmed();
    }
    return statements;
}

} // namespace

class TestReadOnlyRole : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void grantsAreExactlyReading_data();
    void grantsAreExactlyReading();
    void windowProbeAndSearch();
    void terminalReports_data();
    void terminalReports();

private:
    QTemporaryDir dir_;
    QString settings_;
    QString password_;
};

void TestReadOnlyRole::initTestCase() {
    REQUIRE_TEST_DATABASE();
    settings_ = dir_.filePath("local.cfg");
    password_ = QStringLiteral("reader-%1").arg(QRandomGenerator::global()->generate(), 0, 16);
    QStringList statements = readmeStatements();
    QCOMPARE(statements.size(), 4);
    QVERIFY(statements.first().startsWith("CREATE ROLE " + kRole + " LOGIN PASSWORD '"));
    for (QString& statement : statements)
        statement.replace(kReadmePassword, password_);
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::execAll(
        {"INSERT INTO public.dnallocation (value, kind) VALUES ('101', 1), ('102', 1)",
         "INSERT INTO public.calldetails (callid, info) VALUES ('c1', 'x')"}));
    QVERIFY(TestDatabase::insertCall("101", "102", "00:02:00", "2026-12-08 10:00:00"));
    QVERIFY(TestDatabase::insertCall("+441632960777", "101", "00:05:00", "2026-12-08 10:30:00"));
    QVERIFY(TestDatabase::execAll(statements));

    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray lines = "DBUSER=" + kRole.toUtf8() + "\r\nDBPASS=" + password_.toUtf8() + "\r\n";
    if (TestDatabase::port() != dbRoutines::kDefaultDbPort)
        lines += "DBPORT=" + QByteArray::number(TestDatabase::port()) + "\r\n";
    file.write(lines);
}

void TestReadOnlyRole::cleanupTestCase() {
    if (TestDatabase::scalar("SELECT count(*) FROM pg_roles WHERE rolname = '" + kRole + "'") ==
        "1")
        QVERIFY(TestDatabase::execAll({"DROP OWNED BY " + kRole, "DROP ROLE " + kRole}));
}

void TestReadOnlyRole::grantsAreExactlyReading_data() {
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");
    for (const char* table : {"public.callhistory2", "public.dnallocation", "public.calldetails"}) {
        const QString name = QString::fromLatin1(table);
        QTest::addRow("reads %s", table)
            << "has_table_privilege('" + kRole + "', '" + name + "', 'SELECT')"
            << "true";
        QTest::addRow("cannot change %s", table)
            << "has_table_privilege('" + kRole + "', '" + name +
                   "', 'INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER')"
            << "false";
    }
    QTest::newRow("cannot create in the schema")
        << "has_schema_privilege('" + kRole + "', 'public', 'CREATE')"
        << "false";
    QTest::newRow("no superuser, no roles, no databases")
        << "(SELECT rolsuper OR rolcreaterole OR rolcreatedb FROM pg_roles WHERE rolname = '" +
               kRole + "')"
        << "false";
}

void TestReadOnlyRole::grantsAreExactlyReading() {
    QFETCH(QString, check);
    QFETCH(QString, expected);
    QCOMPARE(TestDatabase::scalar("SELECT " + check), expected);
}

void TestReadOnlyRole::windowProbeAndSearch() {
    config::ClearConfig();
    config::SetConfigFilePath(settings_);
    config::LoadConfig();
    const Result<QString> driver = dbRoutines::FindDriver();
    QVERIFY2(driver.ok(), qPrintable(driver.reason()));
    QCOMPARE(dbRoutines::FillExtensionList().value, (QStringList{"101", "102"}));
    const Result<CallRows> listed =
        dbRoutines::RunSearchQuery(BuildSearchQuery({"Both", "12/8/2026", "101"}));
    QVERIFY2(listed.ok(), qPrintable(listed.reason()));
    QCOMPARE(listed.value.size(), 2);
}

void TestReadOnlyRole::terminalReports_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("shows");
    QTest::newRow("calls") << QStringList{"calls", "--day", "2026-12-08", "--all"}
                           << QByteArray("2 calls, 0:07:00 talk time");
    QTest::newRow("summary by hour")
        << QStringList{"summary", "--day", "2026-12-08", "--by", "hour"}
        << QByteArray("Most calls started: 10:00-11:00, 2 calls");
    QTest::newRow("summary by extension")
        << QStringList{"summary", "--day", "2026-12-08", "--by", "extension", "--format", "csv"}
        << QByteArray("101,2,1,1,0:07:00,420");
    QTest::newRow("summary by number")
        << QStringList{"summary", "--day", "2026-12-08", "--by", "number", "--format", "csv"}
        << QByteArray("+441632960777,1,1,0");
    QTest::newRow("chart") << QStringList{"chart", "--day", "2026-12-08", "101"}
                           << QByteArray("10:00 ##............................+++++.");
}

void TestReadOnlyRole::terminalReports() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, shows);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.start(LINETALLY_BINARY,
                  QStringList{arguments.first(), "--config", settings_} + arguments.mid(1));
    QVERIFY(program.waitForFinished(120000));
    const QByteArray out = program.readAllStandardOutput();
    QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
    QVERIFY2(out.contains(shows), out.constData());
}

QTEST_GUILESS_MAIN(TestReadOnlyRole)
#include "tst_readonlyrole.moc"
