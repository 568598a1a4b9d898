#pragma once

#include "dbroutines.h"
#include "output.h"
#include "reportrequest.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the report commands share: reading their options, connecting, and running a report's
// statement into its output.
namespace cli {

struct CommandHelp {
    QString synopsis;
    QString description;
    QString examples;
    // False for a command whose mistaken argument may be a password: errors do not repeat it.
    bool repeatsArguments = true;
};

// A usage error: the message names the argument; the command's --help says the rest.
int usageError(const QString& command, const QString& message);
int failure(int status, const QString& message);

// Parses a command's options; the status to end with when it is done already (help or a
// mistake).
std::optional<int> parse(QCommandLineParser& parser, const QString& command,
                         const QStringList& arguments, const CommandHelp& help);

// Reads the stored credentials and finds the driver; the status to end with when it fails.
std::optional<int> connect();

// Runs the report's statement and gives each call the request keeps to the reader, then puts
// the output in place.
int runReport(const ReportRequest& request, Output& output,
              const std::function<bool(const dbRoutines::CallRecord&)>& reader,
              const std::function<Status()>& finish);

// Puts the output of a report whose rows have been read in place, or says why the reading
// failed.
int concludeReport(const Status& status, Output& output, const std::function<Status()>& finish);

// True when the call is one the request asks for: the server narrows a number by its last
// digits, and here each call is confirmed to hold the same number; --talk keeps one kind.
bool Keeps(const ReportRequest& request, const dbRoutines::CallRecord& call);
// True when Keeps keeps every call the server finds.
bool KeepsEveryCall(const ReportRequest& request);

} // namespace cli
