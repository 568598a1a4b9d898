#pragma once

#include <QtGlobal>

#include <vector>

// Finding the socket of a connection the database driver opened, and cutting it off when the
// server stops answering in the middle of a result.
namespace platform {

// Where the system offers neither, the functions find nothing and cut nothing.

// What tells this process's sockets apart, for each socket it holds now.
std::vector<unsigned long> OwnSocketIds();
// The descriptor of a socket that is not among before and is connected to the port of
// 127.0.0.1; -1 when there is none.
int NewSocketTo(quint16 port, const std::vector<unsigned long>& before);
// Ends both directions of the connection: a read that waits on it fails at once.
void CutOff(int fd);

} // namespace platform
