// The file errors of the file operations, with the file's full path and the
// operating system's text for the error code.
#pragma once

#include "framework/Exception.h"
#include "framework/UnicodeString.h"
#include "framework/Win.h"

// File errors raised by the file operations of the utility unit.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// "Cannot create file "<full path>". <system text>"
EFCreateError FileCreateError(const UnicodeString& fileName, DWORD code);

// "Cannot open file "<full path>". <system text>"
EFOpenError FileOpenError(const UnicodeString& fileName, DWORD code);

// "Stream write error"
EWriteError FileWriteError();
