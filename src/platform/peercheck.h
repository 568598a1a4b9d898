#pragma once

#include "result.h"

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

// Who is at the far end of a connection to a port of this machine. Any local user may listen on
// an unprivileged port while the database is down (a restart, an update, a boot) and collect the
// password of whoever connects, so a connection that will carry the password is checked after it
// is established and before anything is sent on it: the program that accepted it must belong to
// root, to the database's service account or to the user running Linetally (an SSH tunnel).
namespace platform {

// False where the system does not tell who holds a connection's far end; there nothing is
// refused.
bool ChecksConnectionPeers();

// The owners that may receive the password: root, the service account (when it exists) and the
// user running the program.
struct TrustedOwners {
    std::vector<uint> uids;
};
TrustedOwners TrustedOwnersWith(const QString& serviceAccount);

// Whether the owner of the accepting socket may receive the password; the failure says whose
// program it is. nullopt: nobody could be found (the far end has gone, or the system does not
// say), which is refused too.
Status JudgePeerOwner(std::optional<uint> owner, const TrustedOwners& trusted, quint16 port);

// While one is alive, every TCP connection that this thread opens to the port at a loopback
// address is checked once connect() has established it: an untrusted or unknown owner makes
// connect() fail with EACCES before the caller can send a byte, and refusal() then says why.
// Connections of other threads, to other ports and to other machines are left alone.
class PeerCheck {
public:
    PeerCheck(quint16 port, const QString& serviceAccount, std::chrono::milliseconds connectLimit);
    ~PeerCheck();
    PeerCheck(const PeerCheck&) = delete;
    PeerCheck& operator=(const PeerCheck&) = delete;

    // The first connection refused while this was alive, or success.
    Status refusal() const;

    // What the check of this thread holds; known to the system's own file only.
    struct Armed;

private:
    std::unique_ptr<Armed> armed_;
    Armed* outer_ = nullptr; // a check this one was started inside, restored at its end
};

} // namespace platform
