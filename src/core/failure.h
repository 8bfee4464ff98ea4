#pragma once

#include <QString>

#include <exception>

namespace korvane {

// Failure codes. The program's own steps fail with codes greater than zero. The document
// object model fails with codes not greater than zero, as the desktop browser component's
// automation errors did: the results-page reader ends a page silently on those (a table that
// is not a result entry), and ends the walk with its message on the others.
enum class FailureCode : int {
    DomMissingMember = -438,   // the element has no such member (href of a DIV, rows of a P, ...)
    DomObjectRequired = -424,  // no body, no element with that id
    DomIndexOutOfRange = -9,   // an index outside a collection (children, rows, cells, tags)

    InvalidCall = 5,           // an argument or call that makes no sense (negative length, ...)
    Overflow = 6,              // a checked 16/32-bit counter or index passed its limit
    OutOfMemory = 7,           // an allocation that cannot be satisfied
    IndexOutOfRange = 9,       // an index outside a collection or an allocated array
    TypeMismatch = 13,         // a text that does not read as a number
    ObjectRequired = 424,      // no document where one was needed
    NavigationFailed = 1001,   // the browser could not load the page
};

// The one exception type of the core. Procedures with a failure path catch it at their tail;
// nothing lets it escape into Qt's event loop.
class Failure : public std::exception
{
public:
    Failure(FailureCode code, QString message) : m_code(code), m_message(std::move(message)) {}

    FailureCode code() const noexcept { return m_code; }
    int number() const noexcept { return static_cast<int>(m_code); }
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return "korvane::Failure"; }

private:
    FailureCode m_code;
    QString m_message;
};

[[noreturn]] inline void fail(FailureCode code, const QString &message)
{
    throw Failure(code, message);
}

} // namespace korvane
