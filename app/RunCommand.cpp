#include "app/Main.h"
#include "binding/Binding.h"
#include "binding/ConventionCheck.h"
#include "binding/CallWatch.h"
#include "binding/InterpreterCalls.h"
#include "framework/CaughtException.h"
#include "framework/Exception.h"
#include "util/Myfunc.h"

#include <memory>

namespace {

const UnicodeString NotBoundMessage = L"Run: no interpreter is bound, so nothing was run.";
const UnicodeString ClearedMessage = L"Run: the interpreter emptied its interface slot during the Run, so it stopped here.";

struct StackSection {
    const TextOperation& operation;
    const wchar_t* header;
};

// The interface as the slot holds it now: the library may change its object
// through the slot during any call, so it is read again before each one.
QAV_INTERFACE* CurrentInterface(const UnicodeString& noneMessage = ClearedMessage)
{
    QAV_INTERFACE* const intf = BoundInterface();
    if (!intf)
        throw Exception(noneMessage);
    return intf;
}

constexpr StackSection StackSections[] = {
    {GetVarStackOperation, L"Var stack:"},
    {GetParamStackOperation, L"Param stack:"},
    {GetObjectStackOperation, L"Object stack:"},
    {GetFunctionStackOperation, L"Function stack:"},
};

} // namespace

void TIDEForm::RunClick(TObject* /*Sender*/)
{
    // Released on every way out, also when a fault leaves the command.
    std::unique_ptr<TStringList> lines;
    try {
        // Shared with the call watch: the text saved if the user quits during a call.
        const auto program = std::make_shared<const UnicodeString>(Text->Text());
        WatchProgram(program);
        Result->SetText(CallExecute(CurrentInterface(NotBoundMessage), *program));
        Log->Lines().Clear();
        Stacks->Lines().Clear();

        lines = std::make_unique<TStringList>();
        StrToList(*lines, CallText(CurrentInterface(), GetLogOperation), DefaultDelimiterMarker);
        Log->Lines().AddStrings(*lines);
        lines->Clear();

        for (const StackSection& section : StackSections) {
            StrToList(*lines, CallText(CurrentInterface(), section.operation), DefaultDelimiterMarker);
            Stacks->Lines().Add(section.header);
            Stacks->Lines().AddStrings(*lines);
            if (&section != &StackSections[std::size(StackSections) - 1])
                lines->Clear();
        }
    } catch (...) {
        const CaughtException caught = SortCaughtException();
        if (caught.kind != CaughtKind::Family)
            throw;
        Log->Lines().Add(caught.exception.ToString());
    }
    // The first call of the session that broke the calling convention, said once.
    if (const UnicodeString notice = TakeConventionNotice(); !notice.empty())
        Log->Lines().Add(notice);
}
