/*
 * The contract between the workbench and an interpreter library "QAV.dll".
 *
 * An interpreter author includes this header to build a compatible library,
 * in C or C++, for either architecture: the 32-bit workbench (QAVDemo.exe of
 * the win32 build) loads only 32-bit libraries and the 64-bit workbench only
 * 64-bit ones. A library of the other architecture fails to load, and the
 * workbench reports it as "DLL error!" like a missing one.
 *
 * The library exports two functions under these exact, undecorated names:
 *
 *   GetQAVInterface(slot)  stores the interface pointer in *slot and returns
 *                          nonzero; zero means failure. The workbench calls
 *                          the interface only when the call returned nonzero
 *                          and left the slot nonzero; otherwise it reports the
 *                          binding as failed. Either way, a slot left nonzero
 *                          is given back with FreeQAVInterface at close.
 *   FreeQAVInterface(slot) gives the interface back; nonzero means success.
 *                          It may clear the slot.
 *
 * and may export a third, optional one:
 *
 *   StopQAVInterface(slot) asks the call now running on the interface in *slot
 *                          to stop. The workbench calls it from a thread of its
 *                          own when the user presses Stop in the window it shows
 *                          for a call that runs longer than a second. It must do
 *                          nothing but set a flag that the running call polls,
 *                          then return at once: nonzero when it took note. The
 *                          call then returns by itself, with a text of the
 *                          library's own saying it was stopped; the workbench
 *                          gives it half a second. A library without it, or whose
 *                          call goes on, is stopped by force while it runs its
 *                          own code: its frames are abandoned without unwinding,
 *                          which may leave its locks taken and its state
 *                          unreliable. It may be called while nothing runs, or
 *                          just as a call returns, and must then do no harm:
 *                          clear the flag when a call begins.
 *
 * Define QAV_BUILDING_LIBRARY before including this header in the library's
 * own sources: it declares the entry points extern "C" and
 * __declspec(dllexport), so that their definitions, in C or C++, are exported
 * without a .def file and without C++'s name mangling (on x86 still under the
 * decorated names: see below).
 *
 * On x86 stdcall decorates the names (GetQAVInterface@4 with MinGW,
 * _GetQAVInterface@4 with Microsoft's compiler). With MinGW, link with
 * -Wl,--kill-at, which exports the plain names. Or give the linker a
 * module-definition file that lists them (paste it as it stands):
 *
 *   LIBRARY QAV.dll
 *   EXPORTS
 *       GetQAVInterface
 *       FreeQAVInterface
 *       ; StopQAVInterface (only when the library has it)
 *
 * Microsoft's linker finds the decorated functions for these names by itself;
 * MinGW's does too, but warns "resolving _GetQAVInterface by linking to
 * _GetQAVInterface@4" unless linked with -Wl,--enable-stdcall-fixup. On x64
 * the names are not decorated, and the same .def file does no harm.
 *
 * The interface pointer addresses an object whose first pointer-sized word is
 * the address of a table of operations (QAV_VTABLE). Every operation gets the
 * object pointer as its first argument.
 *
 * Calling convention (QAV_CALL): stdcall on x86, arguments pushed right to
 * left and removed by the callee, one 32-bit result. x64 has a single
 * convention, so there QAV_CALL adds nothing.
 *
 * Texts in both directions are NUL-terminated UTF-16. The program text given
 * to Execute is never null and is valid only during the call; its second
 * argument always points to an empty text; its third is the integer 1.
 * Every returned text stays owned by the library: the workbench copies it as
 * soon as the call returns and never frees, changes or keeps the pointer. A
 * null result reads as an empty text.
 *
 * Calls come from one thread, in this order: GetQAVInterface once and, if it
 * returned nonzero and filled the slot, GetVersion once; on each Run Execute,
 * GetLog, GetVarStack, GetParamStack, GetObjectStack, GetFunctionStack; at
 * close, if the slot is nonzero, FreeQAVInterface once, after which nothing is
 * called. The workbench reads the slot again before each call, so a library
 * may put another object there during a call; one that empties it during a
 * Run ends that Run. Only StopQAVInterface comes from another thread, while
 * one of these runs or between them.
 */
#ifndef QAV_INTERFACE_H
#define QAV_INTERFACE_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32) && !defined(_WIN64)
#define QAV_CALL __stdcall
#else
#define QAV_CALL /* x64 and others: the platform's one convention */
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef wchar_t QAV_CHAR; /* a UTF-16 code unit on Windows */

typedef struct QAV_INTERFACE QAV_INTERFACE;

typedef const QAV_CHAR* (QAV_CALL* QAV_TEXT_FN)(QAV_INTERFACE* self);
typedef const QAV_CHAR* (QAV_CALL* QAV_EXECUTE_FN)(QAV_INTERFACE* self, const QAV_CHAR* program,
                                                   const QAV_CHAR* options, int32_t mode);
/* Positions the workbench never calls; a library fills them as it likes. */
typedef void* QAV_UNUSED_SLOT;

/* The operation table; the comment after each member is its position. */
typedef struct QAV_VTABLE {
    QAV_UNUSED_SLOT Reserved0;       /*  0 */
    QAV_UNUSED_SLOT Reserved1;       /*  1 */
    QAV_UNUSED_SLOT Reserved2;       /*  2 */
    QAV_UNUSED_SLOT Reserved3;       /*  3 */
    QAV_UNUSED_SLOT Reserved4;       /*  4 */
    QAV_UNUSED_SLOT Reserved5;       /*  5 */
    QAV_UNUSED_SLOT Reserved6;       /*  6 */
    QAV_UNUSED_SLOT Reserved7;       /*  7 */
    QAV_UNUSED_SLOT Reserved8;       /*  8 */
    QAV_TEXT_FN GetVersion;          /*  9: the library's version */
    QAV_TEXT_FN GetVarStack;         /* 10: the variable stack */
    QAV_TEXT_FN GetObjectStack;      /* 11: the object stack */
    QAV_UNUSED_SLOT Reserved12;      /* 12 */
    QAV_UNUSED_SLOT Reserved13;      /* 13 */
    QAV_TEXT_FN GetLog;              /* 14: the log of the last Execute */
    QAV_EXECUTE_FN Execute;          /* 15: runs a program, returns its result */
    QAV_UNUSED_SLOT Reserved16;      /* 16 */
    QAV_TEXT_FN GetFunctionStack;    /* 17: the function stack */
    QAV_TEXT_FN GetParamStack;       /* 18: the parameter stack */
} QAV_VTABLE;

struct QAV_INTERFACE {
    const QAV_VTABLE* Table;
};

/* Table positions by name, counted from 0. */
enum QAV_POSITION {
    QAV_POS_GET_VERSION = 9,
    QAV_POS_GET_VAR_STACK = 10,
    QAV_POS_GET_OBJECT_STACK = 11,
    QAV_POS_GET_LOG = 14,
    QAV_POS_EXECUTE = 15,
    QAV_POS_GET_FUNCTION_STACK = 17,
    QAV_POS_GET_PARAM_STACK = 18
};

typedef int32_t(QAV_CALL* QAV_GET_INTERFACE_FN)(QAV_INTERFACE** slot);
typedef int32_t(QAV_CALL* QAV_FREE_INTERFACE_FN)(QAV_INTERFACE** slot);
typedef int32_t(QAV_CALL* QAV_STOP_INTERFACE_FN)(QAV_INTERFACE** slot);

#define QAV_GET_INTERFACE_NAME "GetQAVInterface"
#define QAV_FREE_INTERFACE_NAME "FreeQAVInterface"
#define QAV_STOP_INTERFACE_NAME "StopQAVInterface" /* optional */
#define QAV_LIBRARY_NAME L"QAV.dll"

#if defined(_WIN32) && defined(QAV_BUILDING_LIBRARY)
__declspec(dllexport) int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot);
__declspec(dllexport) int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot);
__declspec(dllexport) int32_t QAV_CALL StopQAVInterface(QAV_INTERFACE** slot);
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

/*
 * Each position is one pointer: 4 bytes on x86, 8 on x64. Checked where the
 * language has static assertions: C11, C++11 (Microsoft's compiler reports
 * an older __cplusplus unless given /Zc:__cplusplus, but has them since 2010).
 * C89, C99 and C++98 compile the same header without the checks.
 */
#if defined(__cplusplus)
#if __cplusplus >= 201103L || (defined(_MSC_VER) && _MSC_VER >= 1600)
#define QAV_STATIC_ASSERT static_assert
#endif
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define QAV_STATIC_ASSERT _Static_assert
#endif
#ifdef QAV_STATIC_ASSERT
#if defined(_WIN64)
QAV_STATIC_ASSERT(sizeof(void*) == 8, "pointer size");
#elif defined(_WIN32)
QAV_STATIC_ASSERT(sizeof(void*) == 4, "pointer size");
#endif
#define QAV_SLOT_BYTES sizeof(void*)
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetVersion) == QAV_SLOT_BYTES * QAV_POS_GET_VERSION, "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetVarStack) == QAV_SLOT_BYTES * QAV_POS_GET_VAR_STACK, "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetObjectStack) == QAV_SLOT_BYTES * QAV_POS_GET_OBJECT_STACK, "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetLog) == QAV_SLOT_BYTES * QAV_POS_GET_LOG, "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, Execute) == QAV_SLOT_BYTES * QAV_POS_EXECUTE, "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetFunctionStack) == QAV_SLOT_BYTES * QAV_POS_GET_FUNCTION_STACK,
                  "table layout");
QAV_STATIC_ASSERT(offsetof(QAV_VTABLE, GetParamStack) == QAV_SLOT_BYTES * QAV_POS_GET_PARAM_STACK, "table layout");
QAV_STATIC_ASSERT(sizeof(QAV_VTABLE) == QAV_SLOT_BYTES * 19, "table size");
#endif

#endif /* QAV_INTERFACE_H */
