#pragma once

#include "calllistmodel.h"
#include "config.h"
#include "dbroutines.h"
#include "form1.h"
#include "testdatabase.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QtTest>

// A day of calls on today's date (the date list always starts with today) for extension 101,
// with a main window loaded against it.
namespace ShellFixture {

inline QString today() {
    return QDate::currentDate().toString("yyyy-MM-dd");
}

inline bool seedCalls() {
    if (!TestDatabase::resetTables())
        return false;
    if (!TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES "
                            "('101', 1), ('102', 1), ('103', 1)"))
        return false;
    const QStringList calls[] = {
        {"101", "5551234567", "00:05:30", "09:00:00"},
        {"5550001111", "101", "00:01:00", "15:15:42"},
        {"101", "102", "00:02:00", "00:00:00"},
        {"101", "103", "00:05:00", "23:58:30"},
        {"102", "103", "00:01:00", "12:00:00"},
        {"4711", "101", "00:05:00", "10:58:00"},
    };
    for (const QStringList& c : calls) {
        if (!TestDatabase::insertCall(c[0], c[1], c[2], today() + " " + c[3]))
            return false;
    }
    return TestDatabase::insertCall("101", "104", "00:01:00",
                                    QDate::currentDate().addDays(-1).toString("yyyy-MM-dd") +
                                        " 09:00:00");
}

// Waits until the window's database work (the load step, a search) has ended.
inline void settle(const Form1& window) {
    // Checked after every pass of the event loop, so that thousands of searches in a row do not
    // each wait a whole polling step.
    QVERIFY2(QTest::qWaitFor([&window] { return !window.databaseBusy(); }, 30000),
             "the window's database work did not end");
}

inline void loadWindow(Form1& window) {
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    window.Form_Load();
    settle(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

// Picks an entry of a drop-down list with the keyboard, as an operator would: open the list,
// walk to the entry, press Enter. Waits for the search the pick starts, unless told not to.
inline void pick(QComboBox* combo, const QString& text, bool waitForSearch = true) {
    const int target = combo->findText(text);
    QVERIFY2(target >= 0, qPrintable(text));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    int row = view->currentIndex().isValid() ? view->currentIndex().row() : -1;
    if (row < 0) {
        QTest::keyClick(view, Qt::Key_Home);
        row = view->currentIndex().row();
    }
    while (row < target) {
        QTest::keyClick(view, Qt::Key_Down);
        ++row;
    }
    while (row > target) {
        QTest::keyClick(view, Qt::Key_Up);
        --row;
    }
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(combo->currentText(), text);
    // The pick may have started a search: its rows are wanted next.
    if (const auto* window = qobject_cast<const Form1*>(combo->window()); window && waitForSearch)
        settle(*window);
}

inline QStringList callFroms(const Form1& window) {
    QStringList froms;
    for (int i = 0; i < window.listItems->count(); ++i)
        froms << window.listItems->row(i).callFrom;
    froms.sort();
    return froms;
}

} // namespace ShellFixture
