// A library for qavcheck whose texts break the contract in ways only a look at
// the memory or the line ends shows; QAV_TEXTLIB_DEFECT chooses which:
//   1  freed: GetLog returns the text of a string destroyed on return, a freed
//      heap block; the stacks live in a heap block (GetVarStack), inside one
//      (GetParamStack), and in memory of the library's own (GetObjectStack)
//   2  lone line breaks: GetLog ends its lines with LF alone, GetVarStack breaks
//      one with a CR alone; GetVersion and Execute are ordinary
// Every other text is static.
#define QAV_BUILDING_LIBRARY
#include "contract/QAVInterface.h"

#include "framework/Win.h"

#include <cstring>
#include <string>

namespace {

QAV_INTERFACE g_interface{};

// Longer than a string's inline buffer, so that it lives on the heap.
const wchar_t* const LongText = L"a text long enough to need a heap block of its own";

#if QAV_TEXTLIB_DEFECT == 1

// Sizes come from here at run time, so that the compiler cannot keep the string in the image.
volatile size_t g_repeat = 2;

std::wstring Repeated()
{
    std::wstring text;
    for (size_t i = 0; i < g_repeat; ++i)
        text += LongText;
    return text;
}

const QAV_CHAR* QAV_CALL GetLog(QAV_INTERFACE*)
{
    return Repeated().c_str();
}

const QAV_CHAR* QAV_CALL GetVarStack(QAV_INTERFACE*)
{
    static const std::wstring* kept = new std::wstring(Repeated());
    return kept->c_str();
}

struct Buffers {
    int count;
    wchar_t params[64];
};

const QAV_CHAR* QAV_CALL GetParamStack(QAV_INTERFACE*)
{
    static Buffers* buffers = new Buffers{1, L"inside a heap block"};
    return buffers->params;
}

const QAV_CHAR* QAV_CALL GetObjectStack(QAV_INTERFACE*)
{
    static auto* own = static_cast<wchar_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::wcscpy(own, L"in memory of the library's own");
    return own;
}

#else

const QAV_CHAR* QAV_CALL GetLog(QAV_INTERFACE*)
{
    return L"line 1 = 3\nbefore\nRuntime error: division by zero\n";
}

const QAV_CHAR* QAV_CALL GetVarStack(QAV_INTERFACE*)
{
    return L"x = 1\r\ny = 2\rz = 3";
}

const QAV_CHAR* QAV_CALL GetParamStack(QAV_INTERFACE*)
{
    return L"mode = 1\r\n";
}

const QAV_CHAR* QAV_CALL GetObjectStack(QAV_INTERFACE*)
{
    return L"";
}

#endif

const QAV_CHAR* QAV_CALL GetVersion(QAV_INTERFACE*)
{
    return L"text defects 1.0";
}

const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE*, const QAV_CHAR*, const QAV_CHAR*, int32_t)
{
    return L"3";
}

const QAV_CHAR* QAV_CALL GetFunctionStack(QAV_INTERFACE*)
{
    return L"";
}

const QAV_VTABLE g_table = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            GetVersion, GetVarStack, GetObjectStack, nullptr, nullptr, GetLog, Execute, nullptr,
                            GetFunctionStack, GetParamStack};

} // namespace

int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    g_interface.Table = &g_table;
    *slot = &g_interface;
    return 1;
}

int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    *slot = nullptr;
    return 1;
}
