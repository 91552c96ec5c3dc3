/* A DLL that a test library imports but that is never put beside it: qavcheck
   must name it as the DLL that keeps the library from loading. */
__declspec(dllexport) int qavtest_absent_answer(void)
{
    return 42;
}
