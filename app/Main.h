// The workbench's main window: the program editor, Run, the result field and the
// log and stacks panes.
#pragma once

#include "framework/Controls.h"
#include "framework/Form.h"

#include <memory>

class TApplication;
class CallWatcher;

// The class, its controls (named by their role: Text is the program editor, Run
// the button) and its handlers keep the names the program has always used.
class TIDEForm : public TForm {
public:
    // Builds the window and its controls, then binds the interpreter library,
    // which writes one line into Log.
    explicit TIDEForm(TApplication* Owner);
    ~TIDEForm() override;

    TMemo* Text;
    TButton* Run;
    TEdit* Result;
    TMemo* Log;
    TMemo* Stacks;

    // Runs the editor's program and shows the result, the log and the stacks.
    void RunClick(TObject* Sender);
    // Gives the interpreter back and unloads it, while the window still exists.
    void FormClose(TObject* Sender, TCloseAction& Action);

private:
    // Watches every library call from start-up to close, on a thread of its own.
    std::unique_ptr<CallWatcher> watcher_;
};

// The main window, set by the application's CreateForm before the window's
// constructor runs; a name kept from the program's conventions like the class's.
extern TIDEForm* IDEForm;
