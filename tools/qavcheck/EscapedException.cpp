#include "tools/qavcheck/EscapedException.h"

#include "framework/Win.h"

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <typeinfo>

namespace {

// Bytes of the library's text (a type name, what()): UTF-8 mostly, the code page otherwise.
std::wstring Widen(const char* text)
{
    if (!text || !*text)
        return {};
    UINT page = CP_UTF8;
    int wide = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wide <= 0) {
        page = CP_ACP;
        wide = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    }
    if (wide <= 0)
        return {};
    std::wstring result(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(page, page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text, -1, result.data(), wide);
    result.resize(static_cast<size_t>(wide) - 1);
    return result;
}

// The current exception's type as the compiler writes it: "ScriptError*".
std::wstring TypeName()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type)
        return L"an exception of a foreign runtime";
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                           std::free);
    return Widen(status == 0 && demangled ? demangled.get() : type->name());
}

} // namespace

std::wstring DescribeEscapedException()
{
    const std::wstring type = TypeName();
    try {
        throw;
    } catch (const std::exception& e) {
        const std::wstring what = Widen(e.what());
        return what.empty() ? type : type + L": " + what;
    } catch (...) {
        return type;
    }
}
