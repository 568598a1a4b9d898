#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About window: product name, notice, version and the ODBC driver in use.
class ABOUT : public QDialog {
    Q_OBJECT
public:
    explicit ABOUT(const QIcon& mainWindowIcon);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label6;
    QPushButton* Command1;

public slots:
    void Form_Load(const QIcon& mainWindowIcon);
    void Command1_Click();
};
