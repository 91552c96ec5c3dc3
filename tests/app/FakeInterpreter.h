// An interpreter interface object of our own, in-process: each operation
// answers what the test set and records that it was called.
#pragma once

#include "binding/QAVInterface.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct FakeInterpreter {
    QAV_INTERFACE object; // must stay first: the interface pointer is its address

    FakeInterpreter();

    // What each operation returns; nullopt returns a null pointer.
    std::optional<std::wstring> result, log, varStack, paramStack, objectStack, functionStack;
    // Runs inside the operation of that name before it answers (to throw or fault).
    std::function<void(const std::string& operation)> before;

    std::vector<std::string> calls;
    std::wstring program;
    bool optionsEmpty = false;
    int32_t mode = 0;
};

// Binds the fake as the process's interpreter for the test's life.
class FakeBinding {
public:
    explicit FakeBinding(FakeInterpreter& fake);
    ~FakeBinding();
    FakeBinding(const FakeBinding&) = delete;
    FakeBinding& operator=(const FakeBinding&) = delete;
};
