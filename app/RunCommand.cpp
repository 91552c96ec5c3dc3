#include "binding/Binding.h"
#include "framework/Exception.h"
#include "binding/InterpreterCalls.h"
#include "app/Main.h"
#include "util/Myfunc.h"

#include <memory>

namespace {

// Cut at CR LF.
const UnicodeString DefaultDelimiter = L"0";

const UnicodeString NotBoundMessage = L"Run: no interpreter is bound, so nothing was run.";

struct StackSection {
    TextOperation operation;
    const wchar_t* header;
};

constexpr StackSection StackSections[] = {
    {&QAV_VTABLE::GetVarStack, L"Var stack:"},
    {&QAV_VTABLE::GetParamStack, L"Param stack:"},
    {&QAV_VTABLE::GetObjectStack, L"Object stack:"},
    {&QAV_VTABLE::GetFunctionStack, L"Function stack:"},
};

} // namespace

void TIDEForm::RunClick(TObject* /*Sender*/)
{
    // Released on every way out, also when a fault leaves the command.
    std::unique_ptr<TStringList> lines;
    try {
        if (InterpreterState != BindingState::Bound || !InterpreterInterface) {
            Log->Lines().Add(NotBoundMessage);
            return;
        }
        Result->SetText(CallExecute(InterpreterInterface, Text->Text()));
        Log->Lines().Clear();
        Stacks->Lines().Clear();

        lines = std::make_unique<TStringList>();
        StrToList(*lines, CallText(InterpreterInterface, &QAV_VTABLE::GetLog), DefaultDelimiter);
        Log->Lines().AddStrings(*lines);
        lines->Clear();

        for (const StackSection& section : StackSections) {
            StrToList(*lines, CallText(InterpreterInterface, section.operation), DefaultDelimiter);
            Stacks->Lines().Add(section.header);
            Stacks->Lines().AddStrings(*lines);
            if (&section != &StackSections[std::size(StackSections) - 1])
                lines->Clear();
        }
    } catch (...) {
        const auto failure = CaughtFamilyException();
        if (!failure)
            throw;
        Log->Lines().Add(failure->ToString());
    }
}
