#include "tools/qavcheck/EscapedException.h"

#include "binding/CppExceptionText.h"

std::wstring DescribeEscapedException()
{
    const CppExceptionText exception = DescribeCaughtException();
    const std::wstring type = exception.type.empty() ? L"an exception of a foreign runtime" : exception.type;
    return exception.what && !exception.what->empty() ? type + L": " + *exception.what : type;
}
