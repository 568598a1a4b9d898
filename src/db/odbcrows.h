#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Walks the rows of an executed ODBC statement and reads its columns straight from the driver.
// Qt SQL's own row reading builds a record and variants for every value and turns timestamps
// into local time (a time zone lookup per value); for a day's calls that costs more than the
// query itself.
class OdbcRows {
public:
    explicit OdbcRows(void* statementHandle) : statement_(statementHandle) {}

    // Moves to the next row; false after the last one or on a failure (see error()).
    bool fetch();
    // A column of the current row as text, or nullopt for NULL (or when it cannot be read).
    std::optional<QString> text(int column);
    QString error() const { return error_; }

private:
    QString diagnostics() const;
    template <typename Char> std::optional<QVariant> readText(int column, short cType);

    void* statement_;
    QString error_;
    bool wideText_ = true;
};
