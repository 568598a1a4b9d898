#include "searchquery.h"

#include <QtTest>

class TestSearchQuery : public QObject {
    Q_OBJECT
private slots:
    void statement_data();
    void statement();
};

void TestSearchQuery::statement_data() {
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("parameters");
    const QString select = "SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE ";
    const QString date = " AND (date(starttime) = ?)";
    QTest::newRow("From") << "From"
                          << "4711" << select + "from_no=?" + date
                          << QVariantList{"4711", "2008-08-23"};
    QTest::newRow("To") << "To"
                        << "101" << select + "to_no=?" + date << QVariantList{"101", "2008-08-23"};
    QTest::newRow("Both") << "Both"
                          << "101" << select + "(to_no=? or from_no=?)" + date
                          << QVariantList{"101", "101", "2008-08-23"};
    QTest::newRow("unknown direction") << "both"
                                       << "101" << date << QVariantList{"2008-08-23"};
    QTest::newRow("injection stays a value")
        << "From"
        << "1 or 1=1'; DROP TABLE x; --" << select + "from_no=?" + date
        << QVariantList{"1 or 1=1'; DROP TABLE x; --", "2008-08-23"};
}

void TestSearchQuery::statement() {
    QFETCH(QString, direction);
    QFETCH(QString, number);
    QFETCH(QString, statement);
    QFETCH(QVariantList, parameters);
    const SearchQuery query = BuildSearchQuery({direction, "8/23/2008", number});
    QCOMPARE(query.statement, statement);
    QCOMPARE(query.parameters, parameters);
}

QTEST_GUILESS_MAIN(TestSearchQuery)
#include "tst_searchquery.moc"
