#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace base {

// Stored as one byte in the design; the numbers are part of the format.
enum TTraceEntryType : std::uint8_t {
    ttMessage = 0,
    ttWarning = 1,
    ttAPIError = 2,
    ttAssertion = 3,
    ttException = 4,
};

// Text written in the Type column; "?" for a value outside the table.
const char* TraceEntryTypeText(TTraceEntryType Type);

// What only the desktop program can do; the core leaves each empty (no-op).
struct TTraceLogHooks {
    std::function<bool()> CtrlAndShiftHeld;  // both keys down at this moment
    // Tells the user whether logging could start (FileOpen) and where the file is.
    std::function<void(bool FileOpen, const std::string& FileName)> ShowStartupOutcome;
    std::function<void()> ExclamationBeep;                         // assertion and exception entries
    std::function<void(const std::string& FileName)> OpenLogFile;  // shutdown with Ctrl+Shift held
};

// The program's diagnostic log. Every entry goes through WriteEntry; rows reach
// "HarvexisEventLog.csv" only when logging was enabled at start-up.
class TApplicationTraceLog {
public:
    TApplicationTraceLog() = default;
    ~TApplicationTraceLog();
    TApplicationTraceLog(const TApplicationTraceLog&) = delete;
    TApplicationTraceLog& operator=(const TApplicationTraceLog&) = delete;

    // Start-up: enables logging when Ctrl+Shift is held or a parameter, trimmed,
    // is exactly "/eventlog"; then creates DataFolder + "HarvexisEventLog.csv".
    // DataFolder ends with "/". Calling it again restarts the log.
    void Start(const std::vector<std::string>& Params, const std::string& DataFolder,
               TTraceLogHooks Hooks = {});
    // Writes "Application stopped at ..." and closes the file; later entries do nothing.
    void Shutdown();

    void LogEntry(TTraceEntryType Type, const std::string& Message, const std::string& MethodName,
                  const std::string& UnitName);
    // Call right after a failed system call: takes errno before anything else runs.
    void LogAPIError(const std::string& CallDescription, const std::string& MethodName,
                     const std::string& UnitName);
    // Same, for an error code already in hand (errno value, or 12000 + curl code).
    void LogAPIErrorCode(int ErrorCode, const std::string& CallDescription,
                         const std::string& MethodName, const std::string& UnitName);
    void LogMessage(const std::string& Text);
    void LogSourceEntry(TTraceEntryType Type, const std::string& Message,
                        const std::string& SourceFile, std::int32_t Line, const void* Address);
    // Line -1 means no line; a null Address means none.
    void WriteEntry(TTraceEntryType Type, const std::string& Message,
                    const std::string& FunctionName, const std::string& FileName,
                    std::int32_t Line, const void* Address);

    bool Enabled() const;
    bool FileOpen() const;
    std::string FileName() const;

private:
    void CloseFile();
    std::int64_t ElapsedMs() const;

    mutable std::mutex Lock;  // guards every field below; held for a whole row, so rows never interleave
    bool IsEnabled = false;
    bool IsShutDown = false;  // entry points do nothing once set
    std::string LogFileName;
    int FileHandle = -1;  // open, exclusively locked event log, or -1
    std::int64_t StartTicks = 0;  // steady-clock milliseconds at the end of start-up
    TTraceLogHooks Hooks;
};

// The one program-wide log.
extern TApplicationTraceLog TraceLog;

// Text of a system error (errno value) or of an internet-library error
// (12000 + curl code); empty when there is none.
std::string SystemErrorText(int ErrorCode);

// Logs a ttAssertion entry with the caller's file, line and address, then fails
// as a failed assertion does (the C library's report, then abort).
[[noreturn]] void AssertionFailed(const char* Expression, const char* File, int Line);

} // namespace base

// Our own assertion: unlike assert(), it stays active in release builds, since a
// broken invariant in the engine must be recorded, not silently ignored.
#define HX_ASSERT(cond)                                                                  \
    do {                                                                                 \
        if (!(cond)) ::base::AssertionFailed(#cond, __FILE__, __LINE__);            \
    } while (0)
