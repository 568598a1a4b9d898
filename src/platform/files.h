#pragma once

#include <QByteArray>
#include <QtGlobal>

// File calls that only some POSIX systems offer.
namespace platform {

// Creates a new file from the template, whose name ends in "XXXXXX" followed by suffixLength
// characters, open for reading and writing and closed on exec; the template then holds the
// name. The descriptor, or -1 with errno set.
int CreateUniqueFile(QByteArray& pathTemplate, int suffixLength);

// Claims the room for a file of so many bytes without changing its size, so that a full disk is
// found before a byte is written. False with errno set when there is no room; true when it is
// claimed or the system cannot claim room ahead (then a full disk shows in the write).
bool ClaimRoom(int fd, qint64 bytes);

} // namespace platform
