/*
 * An interpreter library in C linked against the Universal C runtime
 * (ucrtbase.dll), as Microsoft's compiler links one, for the ends of the
 * process a library may call. Execute reads its program as one command:
 * "abort", "assert" (a failed assert), "exit N", "quick_exit N", "_exit N" or
 * "_Exit N"; any other program is answered "ran: " and the program. The other
 * operations answer nothing.
 */
#define QAV_BUILDING_LIBRARY
#include "contract/QAVInterface.h"

#undef NDEBUG
#include <assert.h>
#include <stdlib.h>
#include <wchar.h>

static QAV_CHAR answer[256];
static QAV_INTERFACE object;

static int Is(const QAV_CHAR* program, const QAV_CHAR* word)
{
    size_t n = wcslen(word);
    return wcsncmp(program, word, n) == 0 && (program[n] == 0 || program[n] == L' ');
}

static int Argument(const QAV_CHAR* program)
{
    const QAV_CHAR* space = wcschr(program, L' ');
    return space ? (int)wcstol(space + 1, NULL, 10) : 0;
}

static const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE* self, const QAV_CHAR* program, const QAV_CHAR* options,
                                        int32_t mode)
{
    (void)self; (void)options; (void)mode;
    if (Is(program, L"abort")) abort();
    if (Is(program, L"assert")) assert(program[0] == L'#');
    if (Is(program, L"exit")) exit(Argument(program));
    if (Is(program, L"quick_exit")) quick_exit(Argument(program));
    if (Is(program, L"_exit")) _exit(Argument(program));
    if (Is(program, L"_Exit")) _Exit(Argument(program));
    wcscpy(answer, L"ran: ");
    wcsncat(answer, program, 200);
    return answer;
}

static const QAV_CHAR* QAV_CALL Nothing(QAV_INTERFACE* self)
{
    (void)self;
    return L"";
}

static const QAV_CHAR* QAV_CALL Version(QAV_INTERFACE* self)
{
    (void)self;
    return L"ucrt-test";
}

static const QAV_VTABLE table = {
    0, 0, 0, 0, 0, 0, 0, 0, 0,
    Version, Nothing, Nothing, 0, 0, Nothing, Execute, 0, Nothing, Nothing,
};

int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    object.Table = &table;
    *slot = &object;
    return 1;
}

int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    (void)slot;
    return 1;
}
