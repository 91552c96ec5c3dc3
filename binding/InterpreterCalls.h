// Calls into the interpreter's operation table, guarded against faults in the
// library and watched (CallWatch). Every returned text is copied at once; a
// null result reads as empty.
#pragma once

#include "contract/QAVInterface.h"
#include "framework/UnicodeString.h"

// A text-returning operation of the table: its member and its name. A Run's
// operations come from RunCalls (contract/RunCalls.h); GetVersion is binding's.
struct TextOperation {
    QAV_TEXT_FN QAV_VTABLE::*member;
    const wchar_t* name;
};

inline constexpr TextOperation GetVersionOperation{&QAV_VTABLE::GetVersion, L"GetVersion"};

UnicodeString CallText(QAV_INTERFACE* intf, const TextOperation& operation);

// Execute with the program text, an empty text and the integer 1.
UnicodeString CallExecute(QAV_INTERFACE* intf, const UnicodeString& program);
