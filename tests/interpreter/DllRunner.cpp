#include "tests/interpreter/Library.h"
#include "tests/interpreter/Outcome.h"

#include "framework/win32/Paths.h"

#include <stdexcept>

Library::Library()
{
    std::wstring dll = ModuleFileName(nullptr);
    if (dll.empty())
        throw std::runtime_error("cannot find the test program's folder");
    dll.erase(dll.find_last_of(L"\\/") + 1);
    dll += QAV_LIBRARY_NAME;
    module_ = LoadLibraryW(dll.c_str());
    if (module_ == nullptr)
        throw std::runtime_error("cannot load QAV.dll");
    get = reinterpret_cast<QAV_GET_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(module_, QAV_GET_INTERFACE_NAME)));
    free = reinterpret_cast<QAV_FREE_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(module_, QAV_FREE_INTERFACE_NAME)));
    stop = reinterpret_cast<QAV_STOP_INTERFACE_FN>(
        reinterpret_cast<void*>(GetProcAddress(module_, QAV_STOP_INTERFACE_NAME)));
}

Library::~Library()
{
    FreeLibrary(module_);
}

Library& TheLibrary()
{
    static Library library;
    return library;
}

std::u16string Text(const QAV_CHAR* text)
{
    return text == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text));
}

std::string ToUtf8(const std::u16string& text)
{
    const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::u16string ToUtf16(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

namespace {

// The workbench splits each text at CR LF; the cases compare lines joined by LF.
std::string Lines(const QAV_CHAR* text)
{
    std::string s = ToUtf8(Text(text));
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            continue;
        out += s[i];
    }
    return out;
}

} // namespace

Outcome RunProgram(std::string_view program, std::string_view options)
{
    Library& lib = TheLibrary();
    QAV_INTERFACE* iface = nullptr;
    if (lib.get(&iface) == 0 || iface == nullptr)
        throw std::runtime_error("GetQAVInterface failed");
    const std::u16string text = ToUtf16(std::string(program));
    const std::u16string words = ToUtf16(std::string(options));
    Outcome o;
    // The workbench's order: Execute, then the log and the four stacks.
    o.result = Lines(At<QAV_EXECUTE_FN>(iface, QAV_POS_EXECUTE)(
        iface, reinterpret_cast<const QAV_CHAR*>(text.c_str()), reinterpret_cast<const QAV_CHAR*>(words.c_str()),
        1));
    o.log = Lines(At<QAV_TEXT_FN>(iface, QAV_POS_GET_LOG)(iface));
    o.variables = Lines(At<QAV_TEXT_FN>(iface, QAV_POS_GET_VAR_STACK)(iface));
    o.parameters = Lines(At<QAV_TEXT_FN>(iface, QAV_POS_GET_PARAM_STACK)(iface));
    o.objects = Lines(At<QAV_TEXT_FN>(iface, QAV_POS_GET_OBJECT_STACK)(iface));
    o.functions = Lines(At<QAV_TEXT_FN>(iface, QAV_POS_GET_FUNCTION_STACK)(iface));
    lib.free(&iface);
    return o;
}
