#pragma once
// What an operation that input can make fail returns: its value, or the one
// line that tells the user why it did not run. Nothing is thrown and the
// process never ends on such input. A result must be read: the compiler
// warns where one is dropped.
//
//   Result<int> count(...) { if (bad) return fail("Cannot read x."); return 3; }

#include <QString>

#include <cassert>
#include <optional>
#include <utility>

// The one line of a failed operation; converts to a failed Result of any type.
struct [[nodiscard]] Failure {
    QString message;
};

inline Failure fail(QString message)
{
    assert(!message.isEmpty());
    return Failure{std::move(message)};
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : _value(std::move(value)) {}
    Result(Failure failure) : _error(std::move(failure.message)) { assert(!_error.isEmpty()); }

    bool ok() const { return _value.has_value(); }
    // The line that says why the operation did not run; empty when it ran.
    const QString& error() const { return _error; }

    T& value() &
    {
        assert(ok());
        return *_value;
    }
    const T& value() const&
    {
        assert(ok());
        return *_value;
    }
    T&& value() &&
    {
        assert(ok());
        return std::move(*_value);
    }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

private:
    std::optional<T> _value;
    QString _error;
};

// An operation that gives nothing back but can fail.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : _error(std::move(failure.message)) { assert(!_error.isEmpty()); }

    bool ok() const { return _error.isEmpty(); }
    const QString& error() const { return _error; }

private:
    QString _error;
};

// What a step the user asked for returns: when it ran, the status line it
// shows (possibly empty); otherwise the line that says why it did not run.
struct StatusLine {
    QString text;
};
using Report = Result<StatusLine>;

// The line to show for a step, whichever way it went.
inline const QString& lineOf(const Report& report)
{
    return report.ok() ? report.value().text : report.error();
}
