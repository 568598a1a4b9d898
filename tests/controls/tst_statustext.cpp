#include "statustext.h"

#include <QtTest>

class TestStatusText : public QObject {
    Q_OBJECT
private slots:
    void longTextIsCutAtTheEnd_data();
    void longTextIsCutAtTheEnd();
};

void TestStatusText::longTextIsCutAtTheEnd_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shownStart"); // what the panel must begin with
    QTest::addColumn<bool>("cut");
    const QString failure =
        "Search failed: could not connect to server: Connection refused. Is the server running "
        "on host \"127.0.0.1\" and accepting TCP/IP connections on port 5481?";
    QTest::newRow("fits") << "17 calls, 0:12:34 talk time" << 400 << "17 calls, 0:12:34 talk time"
                          << false;
    QTest::newRow("long failure, wide panel") << failure << 300 << "Search failed: could" << true;
    QTest::newRow("long failure, narrow panel") << failure << 120 << "Search" << true;
    QTest::newRow("second line only in the tooltip")
        << "Search failed: timeout\nHINT: check the tunnel" << 400 << "Search failed: timeout"
        << false;
}

// The start of a failure says what went wrong, so that is what stays; the tooltip has it all.
void TestStatusText::longTextIsCutAtTheEnd() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, shownStart);
    QFETCH(bool, cut);
    StatusText panel;
    panel.resize(width, 20);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.setFullText(text);
    const QString shown = panel.text();
    QVERIFY2(shown.startsWith(shownStart), qPrintable(shown));
    QCOMPARE(shown.endsWith(QChar(0x2026)), cut);
    if (cut)
        QVERIFY(shown.size() < text.size());
    QVERIFY(panel.fontMetrics().horizontalAdvance(shown) <= width);
    const QString whole = QString(text).replace(u'\n', u' ').simplified().toHtmlEscaped();
    QVERIFY2(panel.toolTip().contains(whole), qPrintable(panel.toolTip()));
}

QTEST_MAIN(TestStatusText)
#include "tst_statustext.moc"
