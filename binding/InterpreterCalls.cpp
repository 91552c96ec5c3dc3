#include "binding/InterpreterCalls.h"

#include "binding/ConventionCheck.h"
#include "binding/InterpreterFault.h"
#include "contract/RunCalls.h"

#include <cwchar>

namespace {

struct ForeignText {
    const QAV_CHAR* text;
    size_t length;
};

// Measured inside the guard: a bad pointer from the library faults there.
ForeignText Measure(const QAV_CHAR* text) noexcept
{
    return ForeignText{text, text ? std::wcslen(text) : 0};
}

UnicodeString Copy(const ForeignText& t)
{
    return t.text ? UnicodeString(t.text, t.length) : UnicodeString();
}

} // namespace

UnicodeString CallText(QAV_INTERFACE* intf, const TextOperation& operation)
{
    return Copy(CallInterpreter(operation.name, [&] { return Measure(CallContract(intf->Table->*operation.member, intf)); }));
}

UnicodeString CallExecute(QAV_INTERFACE* intf, const UnicodeString& program)
{
    static const QAV_CHAR empty[1] = {0};
    return Copy(
        CallInterpreter(RunCalls[0].operation, [&] { return Measure(CallContract(intf->Table->Execute, intf, program.c_str(), empty, int32_t{1})); }));
}
