#pragma once

#include <QStringList>

// The commands of the command line; each takes its arguments after the command's name and gives
// the exit status. A QCoreApplication exists while they run.
namespace cli {

int RunCalls(const QStringList& arguments);
int RunSummary(const QStringList& arguments);
int RunChart(const QStringList& arguments);
int RunCapacity(const QStringList& arguments);
int RunCredentials(const QStringList& arguments);
// Needs a QGuiApplication (on the offscreen platform): it paints a PDF.
int RunReport(const QStringList& arguments);

} // namespace cli
