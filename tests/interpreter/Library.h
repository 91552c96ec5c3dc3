// QAV.dll as the workbench binds it: loaded from beside the test program, its entry
// points resolved by name and its table called by position.
#pragma once

#include "framework/Win.h"

#include "contract/QAVInterface.h"

#include <string>

class Library {
public:
    Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library();

    HMODULE module() const { return module_; }
    QAV_GET_INTERFACE_FN get = nullptr;
    QAV_FREE_INTERFACE_FN free = nullptr;
    QAV_STOP_INTERFACE_FN stop = nullptr;

private:
    HMODULE module_ = nullptr;
};

// The process-wide library, loaded on first use.
Library& TheLibrary();

// The table entry at a position, as the workbench reads it: by offset from the table start.
template <typename Fn>
Fn At(QAV_INTERFACE* iface, int position)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void* const*>(iface->Table)[position]);
}

std::u16string Text(const QAV_CHAR* text);
std::string ToUtf8(const std::u16string& text);
std::u16string ToUtf16(const std::string& text);
