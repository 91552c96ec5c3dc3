#include "binding/InterpreterFault.h"

#include <cstdio>

namespace {

UnicodeString StoppedText(const wchar_t* operation, double seconds)
{
    wchar_t text[96];
    std::swprintf(text, 96, L"%ls stopped after %.1f s.", operation, seconds);
    return text;
}

} // namespace

InterpreterStopped::InterpreterStopped(const wchar_t* operation, double seconds)
    : Exception(StoppedText(operation, seconds))
{
}
