#pragma once
// What an operation that user input can make fail returns: its value, or the
// one line that tells the user why it did not run. Nothing is thrown and the
// process never ends on such input.

#include <QString>

#include <utility>

template <class T>
struct Result {
    T value{};
    QString error;  // empty when the operation ran

    bool ok() const { return error.isEmpty(); }
    static Result failure(QString message) { return Result{T{}, std::move(message)}; }
};
