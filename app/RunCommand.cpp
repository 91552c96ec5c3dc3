#include "app/Main.h"
#include "binding/Binding.h"
#include "binding/CallWatch.h"
#include "binding/ConventionCheck.h"
#include "binding/InterpreterCalls.h"
#include "contract/RunCalls.h"
#include "framework/CaughtException.h"
#include "framework/Exception.h"
#include "framework/win32/ScopeGuards.h"
#include "util/Myfunc.h"

#include <memory>

namespace {

const UnicodeString NotBoundMessage = L"Run: no interpreter is bound, so nothing was run.";
const UnicodeString ClearedMessage = L"Run: the interpreter emptied its interface slot during the Run, so it stopped here.";

// The interface as the slot holds it now: the library may change its object
// through the slot during any call, so it is read again before each one.
QAV_INTERFACE* CurrentInterface(const UnicodeString& noneMessage = ClearedMessage)
{
    QAV_INTERFACE* const intf = BoundInterface();
    if (!intf)
        throw Exception(noneMessage);
    return intf;
}

} // namespace

// The calls of RunCalls in their order: Execute's answer goes to the result
// field, GetLog's lines to the log pane, each stack's lines under its header to
// the stacks pane.
void TIDEForm::RunClick(TObject* /*Sender*/)
{
    // The window takes no input until the Run ends, the panes' filling included.
    const WaitCursorShown waitCursor;
    // Released on every way out, also when a fault leaves the command.
    std::unique_ptr<TStringList> lines;
    try {
        for (const RunCall& call : RunCalls) {
            if (IsExecute(call)) {
                // Shared with the call watch: the text saved if the user quits during a call.
                const auto program = std::make_shared<const UnicodeString>(Text->Text());
                WatchProgram(program);
                Result->SetText(CallExecute(CurrentInterface(NotBoundMessage), *program));
                Log->Lines().Clear();
                Stacks->Lines().Clear();
                lines = std::make_unique<TStringList>();
                continue;
            }
            StrToList(*lines, CallText(CurrentInterface(), TextOperation{TextMember(call), call.operation}),
                      DefaultDelimiterMarker);
            if (call.header) {
                Stacks->Lines().Add(call.header);
                Stacks->Lines().AddStrings(*lines);
            } else {
                Log->Lines().AddStrings(*lines);
            }
            if (&call != &RunCalls[RunCallCount - 1])
                lines->Clear();
        }
    } catch (...) {
        Log->Lines().Add(CaughtFamilyOrRethrow().ToString());
    }
    // The first call of the session that broke the calling convention, said once.
    if (const UnicodeString notice = TakeConventionNotice(); !notice.empty())
        Log->Lines().Add(notice);
}
