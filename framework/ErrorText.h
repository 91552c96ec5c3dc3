// Texts the application object derives by its own rules.
#pragma once

#include "framework/Exception.h"
#include "framework/UnicodeString.h"

// The error box's text: the message, or the innermost inner exception's message
// when that is not empty; a full stop is appended when the text is not empty and
// its last character's code lies above that of ".".
UnicodeString ErrorBoxText(const Exception& e);

// The default application title: the executable's file name without its folder,
// cut before its first full stop, every character after the first in lower case.
UnicodeString DefaultTitle(const UnicodeString& exePath);
