#include "base/AppTraceLog.h"

#include "base/PosixFile.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace base {

TApplicationTraceLog TraceLog;

namespace {

constexpr const char* LogFileBaseName = "HarvexisEventLog.csv";
constexpr const char* HeaderLine = "\"Time\", \"Thread ID\", \"Type\", \"Message\", \"Function\", "
                                   "\"Filename\", \"Line\", \"Address\"\r\n";
constexpr int CurlErrorBase = 12000;

std::int64_t NowTicks() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Trimmed(const std::string& Text) {
    const auto first = Text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = Text.find_last_not_of(" \t");
    return Text.substr(first, last - first + 1);
}

// Local date in the user's short form, a blank, and the time.
std::string NowText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%x %X", &local);
    return buffer;
}

std::string DoubledQuotes(const std::string& Text) {
    std::string out;
    out.reserve(Text.size() + 8);
    for (char c : Text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out;
}

std::string Quoted(const std::string& Field) { return '"' + Field + '"'; }

bool AnyCtrlShift(const TTraceLogHooks& Hooks) {
    return Hooks.CtrlAndShiftHeld && Hooks.CtrlAndShiftHeld();
}

} // namespace

const char* TraceEntryTypeText(TTraceEntryType Type) {
    switch (Type) {
    case ttMessage: return "Message";
    case ttWarning: return "Warning";
    case ttAPIError: return "API Error";
    case ttAssertion: return "Assertion";
    case ttException: return "Exception";
    }
    return "?";
}

std::string SystemErrorText(int ErrorCode) {
    if (ErrorCode >= CurlErrorBase) {
        const char* text = curl_easy_strerror(static_cast<CURLcode>(ErrorCode - CurlErrorBase));
        return text && std::strncmp(text, "Unknown error", 13) != 0 ? text : "";
    }
    char buffer[512];
    const char* text = strerror_r(ErrorCode, buffer, sizeof buffer);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0) return {};
    return text;
}

TApplicationTraceLog::~TApplicationTraceLog() { Shutdown(); }

void TApplicationTraceLog::Start(const std::vector<std::string>& Params,
                                 const std::string& DataFolder, TTraceLogHooks NewHooks) {
    {
        std::lock_guard guard(Lock);
        CloseFile();
        Hooks = std::move(NewHooks);
        IsShutDown = false;
        IsEnabled = AnyCtrlShift(Hooks);
        for (const auto& param : Params)
            if (!IsEnabled && Trimmed(param) == "/eventlog") IsEnabled = true;
        LogFileName = IsEnabled ? DataFolder + LogFileBaseName : std::string();
    }
    if (IsEnabled) {
        // Open without truncating first: a second running copy holds the lock,
        // and its log must not be wiped by us failing to get it.
        int handle = ::open(LogFileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND, 0644);
        if (handle >= 0 && (::flock(handle, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(handle, 0) != 0 ||
                            !base::WriteAll(handle, HeaderLine))) {
            ::close(handle);
            handle = -1;
        }
        {
            std::lock_guard guard(Lock);
            FileHandle = handle;
        }
        if (Hooks.ShowStartupOutcome) Hooks.ShowStartupOutcome(handle >= 0, LogFileName);
    }
    {
        std::lock_guard guard(Lock);
        StartTicks = NowTicks();
    }
    if (FileOpen()) LogMessage("Application started at " + NowText());
}

void TApplicationTraceLog::Shutdown() {
    std::string openFile;
    if (FileOpen()) LogMessage("Application stopped at " + NowText());
    {
        std::lock_guard guard(Lock);
        if (FileHandle >= 0 && AnyCtrlShift(Hooks) && Hooks.OpenLogFile) openFile = LogFileName;
        CloseFile();
        IsShutDown = true;
    }
    if (!openFile.empty()) Hooks.OpenLogFile(openFile);
}

void TApplicationTraceLog::CloseFile() {
    if (FileHandle >= 0) ::close(FileHandle);
    FileHandle = -1;
}

std::int64_t TApplicationTraceLog::ElapsedMs() const { return NowTicks() - StartTicks; }

bool TApplicationTraceLog::Enabled() const {
    std::lock_guard guard(Lock);
    return IsEnabled;
}

bool TApplicationTraceLog::FileOpen() const {
    std::lock_guard guard(Lock);
    return FileHandle >= 0;
}

std::string TApplicationTraceLog::FileName() const {
    std::lock_guard guard(Lock);
    return LogFileName;
}

void TApplicationTraceLog::LogEntry(TTraceEntryType Type, const std::string& Message,
                                    const std::string& MethodName, const std::string& UnitName) {
    WriteEntry(Type, Message, MethodName, "", -1, nullptr);
}

void TApplicationTraceLog::LogAPIError(const std::string& CallDescription,
                                       const std::string& MethodName,
                                       const std::string& UnitName) {
    LogAPIErrorCode(errno, CallDescription, MethodName, UnitName);
}

void TApplicationTraceLog::LogAPIErrorCode(int ErrorCode, const std::string& CallDescription,
                                           const std::string& MethodName,
                                           const std::string& UnitName) {
    std::string message = CallDescription + " = " + std::to_string(ErrorCode) + " ";
    message += SystemErrorText(ErrorCode);
    WriteEntry(ttAPIError, message, MethodName, UnitName, -1, nullptr);
}

void TApplicationTraceLog::LogMessage(const std::string& Text) {
    WriteEntry(ttMessage, Text, "", "", -1, nullptr);
}

void TApplicationTraceLog::LogSourceEntry(TTraceEntryType Type, const std::string& Message,
                                          const std::string& SourceFile, std::int32_t Line,
                                          const void* Address) {
    WriteEntry(Type, Message, "", SourceFile, Line, Address);
}

void TApplicationTraceLog::WriteEntry(TTraceEntryType Type, const std::string& Message,
                                      const std::string& FunctionName, const std::string& FileName,
                                      std::int32_t Line, const void* Address) {
    std::lock_guard guard(Lock);
    if (IsShutDown) return;
    if (FileHandle >= 0) {
        char time[24];
        std::snprintf(time, sizeof time, "%06" PRId64, ElapsedMs());
        char address[24] = "";
        if (Address)
            std::snprintf(address, sizeof address, "0x%08" PRIXPTR,
                          reinterpret_cast<std::uintptr_t>(Address));
        std::string row;
        row.reserve(Message.size() + FunctionName.size() + FileName.size() + 64);
        row += Quoted(time) + ',' + Quoted(std::to_string(::gettid())) + ',' +
               Quoted(TraceEntryTypeText(Type)) + ',' + Quoted(DoubledQuotes(Message)) + ',' +
               Quoted(FunctionName) + ',' + Quoted(FileName) + ',' +
               Quoted(Line == -1 ? std::string() : std::to_string(Line)) + ',' + Quoted(address) +
               "\r\n";
        base::WriteAll(FileHandle, row);  // a failed write loses this entry, nothing more
    }
    if ((Type == ttAssertion || Type == ttException) && Hooks.ExclamationBeep)
        Hooks.ExclamationBeep();
}

[[noreturn]] __attribute__((noinline)) void AssertionFailed(const char* Expression,
                                                             const char* File, int Line) {
    TraceLog.LogSourceEntry(ttAssertion, Expression, File, Line, __builtin_return_address(0));
    std::fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", File, Line, Expression);
    std::abort();
}

} // namespace base
