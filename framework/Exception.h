// The root of the framework's exception family: a message and an optional
// chain of inner exceptions.
#pragma once

#include "framework/UnicodeString.h"

#include <exception>
#include <memory>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(UnicodeString message);
    // Wraps the exception being handled: it becomes this one's inner exception.
    Exception(UnicodeString message, const Exception& inner);

    const UnicodeString& Message() const noexcept { return message_; }
    const Exception* InnerException() const noexcept { return inner_.get(); }
    // The last exception of the inner chain, or this one when there is none.
    const Exception& Innermost() const noexcept;
    // The message, then CR LF and the message of each inner exception in turn.
    UnicodeString ToString() const;

    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    UnicodeString message_;
    std::shared_ptr<const Exception> inner_;
    std::string narrow_;
};

// Raised when the heap cannot satisfy a request: std::bad_alloc, seen through the family.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory() : Exception(L"Out of memory") {}
};
