// QAV.dll as the workbench calls it: each benchmark program through Execute, timed by
// the clock on the wall. When the other architecture's build of this benchmark is there
// and this machine runs it, each program runs through that build too, in turns with
// this one, and the table gives the x86/x64 ratio. Then each program that never ends:
// stopped through StopQAVInterface from a second thread a second after it started,
// with the time from the request to Execute's return; and run, as a host without a
// stop runs it, to the limit that ends it, in both builds.
//
//   bench_lang_dll [--other PATH]   the tables; PATH is the other build's bench_lang_dll.exe
//   bench_lang_dll --run NAME       (for the other build) one program: "result seconds"
//   bench_lang_dll --runaway NAME   (for the other build) one runaway: "ending seconds"
#include "bench/lang/Runaways.h"
#include "contract/QAVInterface.h"
#include "framework/Win.h"
#include "framework/win32/ProcAddress.h"
#include "framework/win32/UniqueHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kPrograms[] = {"fib",   "loop", "fields", "calls",     "sieve",   "list",    "build", "strings",
                                     "words", "sort", "mergesort", "search", "nbody", "recursion", "objects"};
constexpr int kRepeats = 3;
constexpr bool kX64 = sizeof(void*) == 8;

std::u16string Widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

std::string Narrow(const QAV_CHAR* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

double Now()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Program(const std::string& name)
{
    std::ifstream in(std::string(QAV_BENCH_DIR) + "/" + name + ".qav", std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    return source.str();
}

// QAV.dll from beside this program, one interface for every run.
class Library {
public:
    Library()
        : module_(LoadLibraryW(QAV_LIBRARY_NAME)),
          get_(ProcAddress<QAV_GET_INTERFACE_FN>(module_.Get(), QAV_GET_INTERFACE_NAME)),
          free_(ProcAddress<QAV_FREE_INTERFACE_FN>(module_.Get(), QAV_FREE_INTERFACE_NAME)),
          stop_(ProcAddress<QAV_STOP_INTERFACE_FN>(module_.Get(), QAV_STOP_INTERFACE_NAME))
    {
        if (get_ == nullptr || free_ == nullptr || stop_ == nullptr || get_(&iface_) == 0)
            iface_ = nullptr;
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library()
    {
        if (iface_ != nullptr)
            free_(&iface_);
    }

    bool ok() const { return iface_ != nullptr; }

    // Runs a program with the default limits: its result, and the seconds Execute took.
    std::string Run(const std::string& program, double& seconds) const
    {
        const auto execute =
            reinterpret_cast<QAV_EXECUTE_FN>(reinterpret_cast<void* const*>(iface_->Table)[QAV_POS_EXECUTE]);
        const QAV_CHAR none[] = {0};
        const std::u16string text = Widen(program);
        const double start = Now();
        std::string result = Narrow(execute(iface_, reinterpret_cast<const QAV_CHAR*>(text.c_str()), none, 1));
        seconds = Now() - start;
        return result;
    }

    // Runs a program and asks it to stop from another thread a second after it started:
    // its result, and the seconds from the request to the return (0 when none was made).
    std::string RunAndStop(const std::string& program, double& seconds)
    {
        const UniqueKernelObject ended(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        Stopper stopper{this, ended.Get(), 0};
        const UniqueKernelObject thread(CreateThread(nullptr, 0, &StopLater, &stopper, 0, nullptr));
        double took = 0;
        std::string result = Run(program, took);
        const double end = Now();
        SetEvent(ended.Get());
        WaitForSingleObject(thread.Get(), INFINITE);
        seconds = stopper.asked > 0 ? end - stopper.asked : 0;
        return result;
    }

private:
    struct Stopper {
        Library* library;
        HANDLE ended;
        double asked;
    };

    static DWORD WINAPI StopLater(void* param)
    {
        auto* stopper = static_cast<Stopper*>(param);
        if (WaitForSingleObject(stopper->ended, 1000) == WAIT_OBJECT_0)
            return 0;
        stopper->asked = Now();
        stopper->library->stop_(&stopper->library->iface_);
        return 0;
    }

    UniqueModule module_;
    QAV_GET_INTERFACE_FN get_;
    QAV_FREE_INTERFACE_FN free_;
    QAV_STOP_INTERFACE_FN stop_;
    QAV_INTERFACE* iface_ = nullptr;
};

// The other architecture's build of this benchmark, run as a child for one program at a
// time; once it cannot be run, it is not tried again, and why is kept.
class Other {
public:
    explicit Other(std::string path) : path_(std::move(path))
    {
        if (GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES)
            why_ = "no build at " + path_;
    }

    bool usable() const { return why_.empty(); }
    const std::string& why() const { return why_; }

    // "result seconds" of the child run with these arguments; false when it gave none.
    bool Run(const std::string& arguments, std::string& result, double& seconds)
    {
        if (!usable())
            return false;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            why_ = "no pipe to it";
            return false;
        }
        const UniqueFile read(readEnd);
        UniqueFile write(writeEnd);
        SetHandleInformation(read.Get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write.Get();
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string command = "\"" + path_ + "\" " + arguments;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(path_.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &process);
        const DWORD error = GetLastError();
        const UniqueKernelObject child(process.hProcess);
        const UniqueKernelObject childThread(process.hThread);
        write.Reset(); // the child holds the only writing end: reading ends when it does
        std::string output;
        char buffer[256];
        DWORD got = 0;
        while (started && ReadFile(read.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.append(buffer, got);
        if (started)
            WaitForSingleObject(child.Get(), INFINITE);
        std::istringstream fields(output);
        if (!started || !(fields >> result >> seconds)) {
            why_ = started ? "it printed no figures" : "it does not start here (Windows error " + std::to_string(error) + ")";
            return false;
        }
        return true;
    }

private:
    std::string path_;
    std::string why_;
};

std::string Figure(double seconds)
{
    if (seconds <= 0)
        return "-";
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.3f", seconds);
    return figure;
}

std::string Ratio(double x86, double x64)
{
    if (x86 <= 0 || x64 <= 0)
        return "-";
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.2f", x86 / x64);
    return figure;
}

// Child: one program or runaway through this build's library, as the parent reads it.
int RunChild(const Library& library, const std::string& name, bool runaway)
{
    double seconds = 0;
    const std::string result = library.Run(runaway ? bench::Runaway(name) : Program(name), seconds);
    std::printf("%s %.6f\n", runaway ? bench::Ending(result).c_str() : result.c_str(), seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Library library;
    if (!library.ok()) {
        std::printf("cannot load QAV.dll, or it lacks an entry point\n");
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--run") == 0)
        return RunChild(library, argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "--runaway") == 0)
        return RunChild(library, argv[2], true);
    Other other(argc == 3 && std::strcmp(argv[1], "--other") == 0 ? argv[2] : QAV_OTHER_BENCH);
    const char* self = kX64 ? "x64" : "x86";
    const char* that = kX64 ? "x86" : "x64";

    // Best of a few runs of each build, in turns, so that a spell of load falls on both.
    std::printf("%-10s %24s %9s %9s %8s\n", "program", "result", "x86 (s)", "x64 (s)", "x86/x64");
    double longest = 0;
    for (const char* name : kPrograms) {
        const std::string source = Program(name);
        std::string result;
        std::string theirs;
        double own = 1e9;
        double others = 1e9;
        for (int i = 0; i < kRepeats; ++i) {
            double seconds = 0;
            result = library.Run(source, seconds);
            own = std::min(own, seconds);
            if (other.Run(std::string("--run ") + name, theirs, seconds))
                others = std::min(others, seconds);
        }
        if (others == 1e9)
            others = 0;
        else if (theirs != result)
            std::printf("(the %s build gave %s)\n", that, theirs.c_str());
        const double x86 = kX64 ? others : own;
        const double x64 = kX64 ? own : others;
        std::printf("%-10s %24s %9s %9s %8s\n", name, result.substr(0, 24).c_str(), Figure(x86).c_str(),
                    Figure(x64).c_str(), Ratio(x86, x64).c_str());
        longest = std::max(longest, own);
    }
    std::printf("longest in %s: %.3f s\n", self, longest);
    if (!other.usable())
        std::printf("%s: not run: %s\n", that, other.why().c_str());

    std::printf("\n%-14s %10s %13s %13s  %s\n", "runaway", "stop (ms)", "x86 limit (s)", "x64 limit (s)", "ended by");
    double slowestStop = 0;
    for (const char* name : bench::kRunaways) {
        const std::string source = bench::Runaway(name);
        double stopSeconds = 0;
        const std::string stopped = bench::Ending(library.RunAndStop(source, stopSeconds));
        double own = 0;
        const std::string ending = bench::Ending(library.Run(source, own));
        std::string theirs;
        double others = 0;
        if (!other.Run(std::string("--runaway ") + name, theirs, others))
            others = 0;
        else if (theirs != ending)
            std::printf("(the %s build was ended by %s)\n", that, bench::Words(theirs).c_str());
        std::printf("%-14s %10s %13s %13s  %s%s\n", name, bench::StopFigure(stopped, stopSeconds).c_str(),
                    Figure(kX64 ? others : own).c_str(), Figure(kX64 ? own : others).c_str(),
                    bench::Words(ending).c_str(), bench::StopNote(stopped).c_str());
        if (stopped == bench::kStopped)
            slowestStop = std::max(slowestStop, stopSeconds);
    }
    std::printf("slowest stop in %s: %.1f ms\n", self, slowestStop * 1000);
    if (!other.usable())
        std::printf("%s: not run: %s\n", that, other.why().c_str());
    return 0;
}
