// An interpreter library inside the test program: the program itself exports
// GetQAVInterface and FreeQAVInterface, and while a FakeLibrary lives, windows
// built in this process bind it in place of QAV.dll. Each operation answers
// what the test set and records that it was called.
#pragma once

#include "binding/Binding.h"
#include "contract/QAVInterface.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct FakeInterpreter {
    QAV_INTERFACE object; // must stay first: the interface pointer is its address

    FakeInterpreter();

    // GetQAVInterface fills the slot and returns nonzero, or returns zero.
    bool acquires = true;
    // What FreeQAVInterface returns.
    int32_t freeResult = 1;
    // What each operation returns; nullopt returns a null pointer.
    std::optional<std::wstring> version = L"fake 1.0";
    std::optional<std::wstring> result, log, varStack, paramStack, objectStack, functionStack;
    // Runs inside the operation of that name before it answers (to throw or fault).
    std::function<void(const std::string& operation)> before;

    // Every call, the entry points included, in the order they came.
    std::vector<std::string> calls;
    std::wstring program;
    bool optionsEmpty = false;
    int32_t mode = 0;
};

// Windows built while it lives bind the fake.
class FakeLibrary {
public:
    explicit FakeLibrary(FakeInterpreter& fake);
    ~FakeLibrary();
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

private:
    ScopedInterpreterLibrary library_;
};

// Windows built while it lives find no library to load.
class NoLibrary {
public:
    NoLibrary() : library_(L"no such interpreter.dll") {}

private:
    ScopedInterpreterLibrary library_;
};
