// The entry function's work, for the workbench's main window or, in tests, a
// window of their own: prepare the application, create the main window, run
// the message loop. Whatever escapes is shown in the error box; the result,
// the process's exit code, is always 0.
#pragma once

#include "framework/Application.h"
#include "framework/CaughtException.h"

template <class TMainForm>
int StartApplication(TApplication& application, TMainForm*& mainForm)
{
    try {
        application.Initialize();
        application.MainFormOnTaskBar = true;
        application.CreateForm(mainForm);
        application.Run();
    } catch (...) {
        application.HandleException(std::current_exception());
    }
    return 0;
}
