#include "binding/CppExceptionText.h"

#include "binding/FaultGuard.h"
#include "binding/LibraryText.h"
#include "framework/Win.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <typeinfo>

namespace {

UnicodeString Demangled(const char* name)
{
    if (!name)
        return UnicodeString();
    // MinGW marks type names that are compared by address with a leading '*'.
    if (*name == '*')
        ++name;
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                               &std::free);
    return WidenLibraryText(status == 0 && readable ? readable.get() : name);
}

// The rest of the line from position from: a runtime may write its own words
// on the lines after what() as it aborts.
UnicodeString LineFrom(const UnicodeString& text, size_t from)
{
    const size_t end = text.find_first_of(L"\r\n", from);
    return text.substr(from, end == UnicodeString::npos ? UnicodeString::npos : end - from);
}

} // namespace

CppExceptionText DescribeCaughtException() noexcept
{
    CppExceptionText text;
    try {
        // Another runtime's exception has no type this runtime can read.
        if (const std::type_info* type = abi::__cxa_current_exception_type();
            type && *type != typeid(ForeignCppException))
            text.type = Demangled(type->name());
        try {
            throw;
        } catch (const std::exception& e) {
            text.what = WidenLibraryText(e.what());
        } catch (...) {
        }
    } catch (...) {
        // Out of memory for the words: the report says less.
    }
    return text;
}

bool CaughtExceptionIsOurs() noexcept
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    HMODULE module = nullptr;
    return type &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(type), &module) &&
           module == GetModuleHandleW(nullptr);
}

std::optional<CppExceptionText> TerminateReport(const UnicodeString& written)
{
    static const UnicodeString thrown = L"terminate called after throwing an instance of '";
    static const UnicodeString whatLabel = L"  what():  ";
    const size_t at = written.rfind(thrown);
    if (at == UnicodeString::npos)
        return std::nullopt;
    const size_t typeStart = at + thrown.size();
    const size_t typeEnd = written.find(L"'\n", typeStart);
    const size_t typeEndCrLf = written.find(L"'\r\n", typeStart);
    const size_t end = std::min(typeEnd, typeEndCrLf);
    if (end == UnicodeString::npos)
        return std::nullopt;
    CppExceptionText text;
    text.type = written.substr(typeStart, end - typeStart);
    const size_t what = written.find(whatLabel, end);
    if (what != UnicodeString::npos)
        text.what = LineFrom(written, what + whatLabel.size());
    return text;
}
