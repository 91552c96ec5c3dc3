// Calls into the library as the contract types them, so that on x86 a function
// of the wrong calling convention is found out. A stdcall function removes its
// own arguments from the stack; one built as cdecl leaves them there, which the
// caller's code may or may not survive. Here every contract call goes through a
// small routine that measures what the function left, puts the stack back, and
// keeps the first breach of the session for the log. x64 has one convention:
// there the call is a plain one.
#pragma once

#include "contract/QAVInterface.h"
#include "framework/UnicodeString.h"

#include <cstdint>
#include <exception>
#include <type_traits>

namespace convention_detail {

#if defined(_WIN32) && !defined(_WIN64)
// Calls function with count 32-bit arguments (args[0] first); returns its eax and
// writes to *left the bytes of arguments it left on the stack (negative: it
// removed more than it was given).
extern "C" uint32_t qav_call_counted(const void* function, const uint32_t* args, uint32_t count, int32_t* left);

// A 32-bit argument or result as the other side takes it: a word for the
// routine below, or the type the contract gives it.
template <class To, class From>
To AsWord(From value) noexcept
{
    static_assert(sizeof(To) == 4 && sizeof(From) == 4,
                  "every argument and result of the contract is one 32-bit word on x86");
    if constexpr (std::is_pointer_v<To>)
        return reinterpret_cast<To>(static_cast<uintptr_t>(value));
    else if constexpr (std::is_pointer_v<From>)
        return static_cast<To>(reinterpret_cast<uintptr_t>(value));
    else
        return static_cast<To>(value);
}
#endif

// The bytes of arguments the last contract call on this thread left on the stack.
void SetArgumentBytesLeft(int32_t left, int32_t given) noexcept;

} // namespace convention_detail

// A C++ exception the function throws passes through to the caller.
template <class Result, class... Args>
Result CallContract(Result(QAV_CALL* function)(Args...), Args... args)
{
#if defined(_WIN32) && !defined(_WIN64)
    const uint32_t words[sizeof...(Args)] = {convention_detail::AsWord<uint32_t>(args)...};
    int32_t left = 0;
    const uint32_t result =
        convention_detail::qav_call_counted(reinterpret_cast<const void*>(function), words, sizeof...(Args), &left);
    convention_detail::SetArgumentBytesLeft(left, static_cast<int32_t>(4 * sizeof...(Args)));
    return convention_detail::AsWord<Result>(result);
#else
    convention_detail::SetArgumentBytesLeft(0, 0);
    return function(args...);
#endif
}

// Before a guarded call: forgets what an earlier one left.
void ResetArgumentCheck() noexcept;

// After a guarded call named operation: keeps the first breach of the session.
void CheckArguments(const wchar_t* operation) noexcept;

// Around a guarded call: forgets what earlier calls left, and checks what this
// one left when it returns normally (a fault or a stop abandons it).
class ArgumentCheck {
public:
    explicit ArgumentCheck(const wchar_t* operation) noexcept : operation_(operation) { ResetArgumentCheck(); }
    ~ArgumentCheck()
    {
        if (std::uncaught_exceptions() == exceptions_)
            CheckArguments(operation_);
    }
    ArgumentCheck(const ArgumentCheck&) = delete;
    ArgumentCheck& operator=(const ArgumentCheck&) = delete;

private:
    const wchar_t* operation_;
    int exceptions_ = std::uncaught_exceptions();
};

// The line that says what the first breach was, once: empty before any breach
// and after the line was taken.
UnicodeString TakeConventionNotice();
