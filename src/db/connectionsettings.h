#pragma once

#include "result.h"

#include <QString>

// What a connection to the phone system's database needs, taken from the settings at one moment
// and then carried as a value: work on another thread keeps what it started with while the
// window changes the settings.
struct ConnectionSettings {
    // The driver clause that passed the probe; empty while none has.
    QString driverClause;
    // The port of 127.0.0.1, or why the setting is not one (the value is then the default).
    Result<int> port;
    QString user;
    QString password;
    // The account the database service runs as, whose programs may be given the password.
    QString ownerAccount;
    // A statement that has not finished after this long is cancelled by the server and fails
    // like any other: a lock held by someone else must not freeze the window for good. Tests
    // wait seconds instead of a minute.
    static constexpr int kQueryTimeoutSeconds = 60;
    int queryTimeoutSeconds = kQueryTimeoutSeconds;
};
