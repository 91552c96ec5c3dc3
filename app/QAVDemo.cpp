// The process entry: prepare the application, create the main window, run the
// message loop; whatever reaches here is shown in the error box.
#include "app/Main.h"
#include "app/Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return StartApplication(*Application, IDEForm);
}
