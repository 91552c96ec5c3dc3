// The process entry: prepare the application, create the main window, run the
// message loop; whatever reaches here is shown in the error box.
#include "framework/Application.h"
#include "framework/Exception.h"
#include "app/Main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        try {
            Application->Initialize();
            Application->MainFormOnTaskBar = true;
            Application->CreateForm(IDEForm);
            Application->Run();
        } catch (...) {
            const auto failure = CaughtFamilyException();
            if (!failure)
                throw Exception(L"");
            Application->ShowException(*failure);
        }
    } catch (const Exception& e) {
        Application->ShowException(e);
    }
    return 0;
}
