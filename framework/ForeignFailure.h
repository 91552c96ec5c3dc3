// A failure of foreign code (an interpreter library) caught where it left that
// code, in its own words: a processor fault, an exception thrown out of it, an
// end of the process turned aside. It is not part of the Exception family:
// handlers that report the family's failures as text let it pass, and the
// message loop shows it in the error box.
#pragma once

#include "framework/UnicodeString.h"

class ForeignFailure {
public:
    virtual ~ForeignFailure() = default;
    virtual UnicodeString Message() const = 0;

protected:
    ForeignFailure() = default;
    ForeignFailure(const ForeignFailure&) = default;
    ForeignFailure& operator=(const ForeignFailure&) = default;
};
