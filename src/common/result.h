#pragma once

#include <QString>

#include <utility>

// The program's one way of reporting a failure: a function that can fail returns a Status, or a
// Result holding what it produced. The reason is the failure in words a user can act on (the
// driver's or the system's own words where they exist), never with a password in it. Nothing
// throws across a module boundary and no module keeps a "last failure" of its own.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(QString reason) {
        Status status;
        status.reason_ = reason.isEmpty() ? QStringLiteral("unknown failure") : std::move(reason);
        return status;
    }

    bool ok() const { return reason_.isEmpty(); }
    explicit operator bool() const { return ok(); }
    // Empty when ok().
    const QString& reason() const { return reason_; }

private:
    QString reason_;
};

// What a routine produced, and whether it got there. A routine that reads rows keeps what it
// read before a failure in value (the extension list, the listed calls), so a failed Result may
// still carry a partial value; callers that need the whole value check ok() first.
template <typename T> struct [[nodiscard]] Result {
    T value{};
    Status status;

    bool ok() const { return status.ok(); }
    explicit operator bool() const { return ok(); }
    const QString& reason() const { return status.reason(); }
};

template <typename T> Result<T> Succeeded(T value) {
    return Result<T>{std::move(value), Status()};
}
template <typename T> Result<T> Failed(QString reason, T partial = T()) {
    return Result<T>{std::move(partial), Status::failure(std::move(reason))};
}
