#pragma once

#include "result.h"

#include <QtGlobal>

// Whom a connection to a port of this machine would reach. Any local user may listen on an
// unprivileged port while the database is down and collect the password of whoever connects, so
// credentials go only to a listener of root, of a system account (a service) or of the user
// running Linetally (an SSH tunnel). Where the system does not tell (no /proc), nothing is
// refused.
Status CheckLocalListener(quint16 port);
