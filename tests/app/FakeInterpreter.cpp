#define QAV_BUILDING_LIBRARY
#include "tests/app/FakeInterpreter.h"

#include "framework/win32/Paths.h"

namespace {

FakeInterpreter* current = nullptr;

FakeInterpreter& Self(QAV_INTERFACE* object)
{
    return *reinterpret_cast<FakeInterpreter*>(object);
}

const QAV_CHAR* Answer(QAV_INTERFACE* object, const char* name, std::optional<std::wstring> FakeInterpreter::*answer)
{
    FakeInterpreter& fake = Self(object);
    fake.calls.push_back(name);
    if (fake.before)
        fake.before(name);
    const auto& text = fake.*answer;
    return text ? text->c_str() : nullptr;
}

#define QAV_FAKE_TEXT_OPERATION(operation, member)                                                      \
    const QAV_CHAR* QAV_CALL operation(QAV_INTERFACE* object)                                           \
    {                                                                                                   \
        return Answer(object, #operation, &FakeInterpreter::member);                                    \
    }

QAV_FAKE_TEXT_OPERATION(GetVersion, version)
QAV_FAKE_TEXT_OPERATION(GetLog, log)
QAV_FAKE_TEXT_OPERATION(GetVarStack, varStack)
QAV_FAKE_TEXT_OPERATION(GetParamStack, paramStack)
QAV_FAKE_TEXT_OPERATION(GetObjectStack, objectStack)
QAV_FAKE_TEXT_OPERATION(GetFunctionStack, functionStack)

const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE* object, const QAV_CHAR* program, const QAV_CHAR* options,
                                 int32_t mode)
{
    FakeInterpreter& fake = Self(object);
    fake.program = program ? program : L"<null>";
    fake.optionsEmpty = options && !*options;
    fake.mode = mode;
    fake.calls.push_back("Execute");
    if (fake.before)
        fake.before("Execute");
    return fake.result ? fake.result->c_str() : nullptr;
}

const QAV_VTABLE table = [] {
    QAV_VTABLE t{};
    t.GetVersion = &GetVersion;
    t.GetVarStack = &GetVarStack;
    t.GetObjectStack = &GetObjectStack;
    t.GetLog = &GetLog;
    t.Execute = &Execute;
    t.GetFunctionStack = &GetFunctionStack;
    t.GetParamStack = &GetParamStack;
    return t;
}();

// The test program's own file, which bindings load as the library.
const UnicodeString& ProgramPath()
{
    static const UnicodeString path = ModuleFileName(nullptr);
    return path;
}

} // namespace

extern "C" int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    if (!current)
        return 0;
    current->calls.push_back("GetQAVInterface");
    *slot = current->acquires ? &current->object : nullptr;
    return current->acquires ? 1 : 0;
}

extern "C" int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    if (!current)
        return 0;
    current->calls.push_back(*slot == &current->object ? "FreeQAVInterface" : "FreeQAVInterface with a foreign slot");
    return current->freeResult;
}

FakeInterpreter::FakeInterpreter() : object{&table}
{
}

FakeLibrary::FakeLibrary(FakeInterpreter& fake) : library_(ProgramPath().c_str())
{
    current = &fake;
}

FakeLibrary::~FakeLibrary()
{
    current = nullptr;
}
