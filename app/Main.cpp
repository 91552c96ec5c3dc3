#include "app/Main.h"

#include "app/CallWatcher.h"
#include "app/ProgramRescue.h"
#include "binding/Binding.h"
#include "binding/CallWatch.h"
#include "binding/ProcessEndGuard.h"

#include <memory>

TIDEForm* IDEForm = nullptr;

namespace {

// The window and its controls in tab order; positions and sizes at 96 DPI.
constexpr FormDesign WindowDesign{L"TIDEForm", L"QAV Demo", 868, 532, L"Tahoma", -11};
constexpr ControlDesign TextDesign{1001, 8, 8, 511, 322, L""};
constexpr ControlDesign RunDesign{1002, 8, 336, 75, 25, L"Run"};
constexpr ControlDesign ResultDesign{1003, 89, 338, 430, 21, L""};
constexpr ControlDesign LogDesign{1004, 8, 384, 511, 140, L""};
constexpr ControlDesign StacksDesign{1005, 525, 8, 335, 516, L""};

} // namespace

TIDEForm::TIDEForm(TApplication* Owner)
    : TForm(Owner, WindowDesign),
      Text(Own(std::make_unique<TMemo>(*this, TextDesign))),
      Run(Own(std::make_unique<TButton>(*this, RunDesign))),
      Result(Own(std::make_unique<TEdit>(*this, ResultDesign))),
      Log(Own(std::make_unique<TMemo>(*this, LogDesign))),
      Stacks(Own(std::make_unique<TMemo>(*this, StacksDesign)))
{
    Run->OnClick = [this](TObject* sender) { RunClick(sender); };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
    watcher_ = std::make_unique<CallWatcher>(Handle());
    SetLastWords(&KeepProgramAtProcessEnd);
    BindInterpreter(Log->Lines());
}

TIDEForm::~TIDEForm() = default;

void TIDEForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/)
{
    // What the user typed, for the watch: saved if the release hangs and they quit.
    WatchProgram(std::make_shared<const UnicodeString>(Text->Text()));
    ReleaseInterpreter(Log->Lines());
}
