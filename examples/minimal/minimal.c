/*
 * A minimal interpreter library for the QAV Demo workbench, in plain C.
 * Each line of the program is one integer expression: + - * / % and
 * parentheses over 32-bit integers. The result is the last line's value, the
 * log has a line per expression, and each stack pane shows something.
 * One interface, one thread: every text lives in a buffer here until the
 * operation that returned it is called again.
 */
#include "QAVInterface.h"

#define TEXT_UNITS 4096
#define MAX_VALUE 2147483647LL

typedef struct Text { QAV_CHAR s[TEXT_UNITS]; int n; } Text;

static Text result, logText, vars, params, objects, funcs;
static long long lines, evaluations;
static const QAV_CHAR *at;   /* the expression being read */
static const QAV_CHAR *fail; /* the line's first error, or 0 */

static void Clear(Text *t) { t->n = 0; t->s[0] = 0; }

/* Appends as much as fits; a text always ends in a NUL. */
static void Put(Text *t, const QAV_CHAR *s)
{
    while (s && *s && t->n < TEXT_UNITS - 1) t->s[t->n++] = *s++;
    t->s[t->n] = 0;
}

static void PutNumber(Text *t, long long v)
{
    QAV_CHAR digits[24], *p = digits + 23;
    unsigned long long u = v < 0 ? 0ull - (unsigned long long)v : (unsigned long long)v;
    *p = 0;
    do { *--p = (QAV_CHAR)(L'0' + u % 10); u /= 10; } while (u);
    if (v < 0) *--p = L'-';
    Put(t, p);
}

static void Fail(const QAV_CHAR *why) { if (!fail) fail = why; }
static long long Fit(long long v) { if (v > MAX_VALUE || v < -MAX_VALUE - 1) Fail(L"overflow"); return v; }
static void Skip(void) { while (*at == L' ' || *at == L'\t') ++at; }
static int AtLineEnd(void) { return !*at || *at == L'\r' || *at == L'\n'; }

static long long Sum(int depth);

/* A number, -factor or (sum); values are 64-bit on the way, checked to fit 32 bits. */
static long long Factor(int depth)
{
    long long v = 0;
    Skip();
    if (depth > 100) { Fail(L"nested too deeply"); return 0; }
    if (*at == L'-') { ++at; return Fit(-Factor(depth + 1)); }
    if (*at == L'(') {
        ++at; v = Sum(depth + 1); Skip();
        if (*at == L')') ++at; else Fail(L"missing )");
        return v;
    }
    if (*at < L'0' || *at > L'9') { Fail(L"number expected"); return 0; }
    while (*at >= L'0' && *at <= L'9' && v <= MAX_VALUE) v = v * 10 + (*at++ - L'0');
    return Fit(v);
}

static long long Product(int depth)
{
    long long v = Factor(depth), r;
    QAV_CHAR op;
    for (Skip(); !fail && (*at == L'*' || *at == L'/' || *at == L'%'); Skip()) {
        op = *at++; r = Factor(depth);
        if (op != L'*' && r == 0) { Fail(L"division by zero"); return 0; }
        v = Fit(op == L'*' ? v * r : op == L'/' ? v / r : v % r);
    }
    return v;
}

static long long Sum(int depth)
{
    long long v = Product(depth);
    QAV_CHAR op;
    for (Skip(); !fail && (*at == L'+' || *at == L'-'); Skip()) {
        op = *at++; v = Fit(op == L'+' ? v + Product(depth) : v - Product(depth));
    }
    return v;
}

static const QAV_CHAR *QAV_CALL MinimalGetVersion(QAV_INTERFACE *self) { (void)self; return L"minimal 1.0"; }
static const QAV_CHAR *QAV_CALL MinimalGetVarStack(QAV_INTERFACE *self) { (void)self; return vars.s; }
static const QAV_CHAR *QAV_CALL MinimalGetObjectStack(QAV_INTERFACE *self) { (void)self; return objects.s; }
static const QAV_CHAR *QAV_CALL MinimalGetLog(QAV_INTERFACE *self) { (void)self; return logText.s; }
static const QAV_CHAR *QAV_CALL MinimalGetFunctionStack(QAV_INTERFACE *self) { (void)self; return funcs.s; }
static const QAV_CHAR *QAV_CALL MinimalGetParamStack(QAV_INTERFACE *self) { (void)self; return params.s; }

static const QAV_CHAR *QAV_CALL MinimalExecute(QAV_INTERFACE *self, const QAV_CHAR *program, const QAV_CHAR *options,
                                               int32_t mode)
{
    long long v = 0;
    (void)self;
    Clear(&result); Clear(&logText); Clear(&vars); Clear(&params); Clear(&objects); Clear(&funcs);
    lines = 0; fail = 0;
    Put(&objects, L"values:");
    for (at = program ? program : L""; *at; ) {
        Skip();
        if (!AtLineEnd()) {
            fail = 0; ++lines; ++evaluations;
            v = Sum(0); Skip();
            if (!AtLineEnd()) Fail(L"unexpected character");
            Put(&logText, logText.n ? L"\r\nline " : L"line "); PutNumber(&logText, lines);
            if (fail) { Put(&logText, L": error: "); Put(&logText, fail); }
            else { Put(&logText, L" = "); PutNumber(&logText, v); Put(&objects, L" "); PutNumber(&objects, v); }
        }
        while (!AtLineEnd()) ++at;
        while (*at == L'\r' || *at == L'\n') ++at;
    }
    if (fail) { Put(&result, L"error: "); Put(&result, fail); } else PutNumber(&result, v);
    Put(&vars, L"lines = "); PutNumber(&vars, lines);
    Put(&params, L"options = \""); Put(&params, options); Put(&params, L"\"\r\nmode = "); PutNumber(&params, mode);
    Put(&funcs, L"evaluate: called "); PutNumber(&funcs, evaluations); Put(&funcs, L" times");
    return result.s;
}

static const QAV_VTABLE table = {
    0, 0, 0, 0, 0, 0, 0, 0, 0,
    MinimalGetVersion, MinimalGetVarStack, MinimalGetObjectStack, 0, 0, MinimalGetLog, MinimalExecute, 0,
    MinimalGetFunctionStack, MinimalGetParamStack
};
static QAV_INTERFACE theInterface = { &table };

int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE **slot)
{
    if (!slot) return 0;
    *slot = &theInterface;
    return 1;
}

int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE **slot)
{
    if (!slot || *slot != &theInterface) return 0;
    *slot = 0;
    return 1;
}
