// Calls into the interpreter's operation table, guarded against faults in the
// library. Every returned text is copied at once; a null result reads as empty.
#pragma once

#include "binding/QAVInterface.h"
#include "framework/UnicodeString.h"

// A text-returning operation of the table, named by its member.
using TextOperation = QAV_TEXT_FN QAV_VTABLE::*;

UnicodeString CallText(QAV_INTERFACE* intf, TextOperation operation);

// Execute with the program text, an empty text and the integer 1.
UnicodeString CallExecute(QAV_INTERFACE* intf, const UnicodeString& program);
