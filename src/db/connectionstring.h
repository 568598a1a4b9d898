#pragma once

#include "result.h"

#include <QString>

#include <utility>
#include <vector>

// ODBC connection strings: key=value pairs separated by ";". A value may be wrapped in braces,
// inside which ";" and "=" are plain text and "}}" stands for one "}".

using ConnectionPairs = std::vector<std::pair<QString, QString>>;

// A value as it must be written so that the driver reads exactly this text back: wrapped in
// braces (each "}" doubled) when it holds ";", "{" or "}". Blanks at its edges are kept as
// they are: the driver does not trim a plain value.
QString QuoteConnectionValue(const QString& value);

// The pairs of a connection string, keys without surrounding blanks, braced values unwrapped.
// Empty pieces between separators are skipped. Fails on an unclosed brace, on text after a
// closing brace, or on a piece without "=" or without a key; the reason names the key, never a
// value.
Result<ConnectionPairs> ParseConnectionString(const QString& text);

// The value of a key (compared ignoring case), empty when there is none.
QString ConnectionValue(const ConnectionPairs& pairs, const QString& key);

// The string the driver gets: each key trimmed, each value kept exactly as written. A string
// that cannot be parsed is passed on unchanged for the driver to reject.
QString NormalizeConnectionString(const QString& text);
