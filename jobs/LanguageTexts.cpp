#include "jobs/LanguageTexts.h"

#include "jobs/LanguageStrings.h"

#include <array>
#include <cstdint>

namespace jobs {

namespace {

// A text shown under two numbers is defined once, so both always read alike.
constexpr std::string_view TextStart = "Start";
constexpr std::string_view TextFilename = "Filename";
constexpr std::string_view TextError = "Error";
constexpr std::string_view TextComplete = "Complete";
constexpr std::string_view TextStatus = "Status";
constexpr std::string_view TextJobName = "Job Name";
constexpr std::string_view TextRemove = "Remove";
constexpr std::string_view TextLocation = "Location";
constexpr std::string_view TextAddress = "Address";

struct TNumberedText {
    std::uint8_t Number;
    std::string_view Text;
};

// The built-in English texts. Numbers 0, 9, 225 to 238 and 242 have none.
// The four characters backslash, r, backslash, n in a text mark a line break;
// "XXX" and "YYY" are filled in by the caller.
constexpr TNumberedText EnglishTexts[] = {
    // Labels of the eight header values.
    {1, "(Filename)"},
    {2, "(File Description)"},
    {3, "(File Version)"},
    {4, "(Language)"},
    {5, "(ISO Language Code)"},
    {6, "(ISO Character Set)"},
    {7, "(Translator Name)"},
    {8, "(Translator Contact Info)"},
    // Main pages and preference pages.
    {10, TextStart},
    {11, "Job Queue"},
    {12, "Progress"},
    {13, "Preferences"},
    {14, "Log"},
    {15, "About"},
    {16, "General"},
    {17, "HTTP Proxy"},
    {18, "FTP Proxy"},
    {19, "Automation"},
    {20, "Copy Log"},
    {21, "Passwords"},
    {22, "Languages"},
    {23, TextFilename},
    {24, "Language"},
    {25, "Author"},
    // Job definition pages.
    {26, "Starting Address"},
    {27, "Location Restrictions"},
    {28, "Address Restrictions"},
    {29, "File Count and Size"},
    {30, "File Extensions"},
    {31, "MIME Types"},
    {32, "Protocols"},
    {33, "Job Time"},
    {34, "Additional Options"},
    {35, "Open Job..."},
    {36, "Save Job..."},
    {37, "Add Job to Queue"},
    {38, "Copy Now"},
    {39, "Reset Defaults"},
    {40, "Destination Folder"},
    {41, "..."},
    {42, "Browse for folder"},
    {43, "Explore"},
    {44, "Save files within flat folder"},
    {45, "Save files within original folder tree"},
    {46, "Fix links to reference copied files"},
    {47, "Select a destination folder:"},
    {48, "Folder Does Not Exist"},
    {49, "Create XXX?"},
    {50, TextError},
    {51, "Unable to create folder."},
    {52, "A drive root folder cannot be used as a destination folder."},
    {53, "Folder Exploration"},
    {54, "Copy files within this folder"},
    {55, "Copy files at this server"},
    {56, "Copy all files regardless of location"},
    {57, "This rule applies to web pages only"},
    {58, "This rule applies to all file types"},
    {59, "Depth Exploration"},
    {60, "Max distance from starting address"},
    {61, "Unlimited distance from starting address"},
    {62, "Copy files from all addresses"},
    {63, "Copy only files from addresses containing"},
    {64, "Do not copy files from addresses containing"},
    {65, "Maximum file download count"},
    {66, "Minimum file size"},
    {67, "Maximum file size"},
    {68, "Maximum total download size"},
    {69, "this folder"},
    {70, "this server"},
    {71, "Copy files of all extensions"},
    {72, "Copy only files with these extensions"},
    {73, "Do not copy files with these extensions"},
    {74, "File Extensions List Builder"},
    {75, "MIME Types List Builder"},
    {76, "Category"},
    {77, "Copy files of all MIME types"},
    {78, "Copy only files of these MIME types"},
    {79, "Do not copy files of these MIME types"},
    {80, "Stop downloading files after"},
    {81, "minutes"},
    {82, "hours"},
    {83, "Download via HTTP"},
    {84, "Download via FTP"},
    {85, "Download via HTTPS"},
    {86, "HTTP Agent Name"},
    {87, "Starting Referrer Address"},
    {88, "Pause between downloads (seconds):"},
    {89, "Honor META NOFOLLOW tags"},
    {90, "Allow cookies"},
    {91, "Update old copied files"},
    {92, "Save query results as files"},
    {93, "Create autorun CD file"},
    {94, "Allow username and password authentication"},
    {95, "Prune empty folders on job completion"},
    {96, "Add Mark of the Web to rewritten web pages"},
    {97, "Keep original web pages after rewriting"},
    {98, "Assume \"WWW\" when no third-level domain present"},
    // Job queue states, automation countdowns and queue messages.
    {99, "Queued"},
    {100, "Busy"},
    {101, TextComplete},
    {102, TextError},
    {103, "Stopped"},
    {104, "Aborted"},
    {105, "Starting next job in XXX seconds (click here to cancel)"},
    {106, "Shutting down the computer in XXX seconds (click here to cancel)"},
    {107, "Waiting XXX seconds for YYY\\r\\n(click here to stop waiting)"},
    {108, "Unable to Shutdown"},
    {109, "Cannot Add Job"},
    {110, "XXX is an invalid starting address."},
    {111, "Please enter a starting address."},
    {112, "The job queue is full."},
    // Preference pages.
    {113, "Sounds"},
    {114, "Speech"},
    {115, "History"},
    {116, "Foreground"},
    {117, "Background"},
    {118, "Job Priority"},
    {119, "Stay on top of other application windows"},
    {120, "Minimize window to tray"},
    {121, "Show job queue"},
    {122, "Jump to progress window on job start"},
    {123, "Jump to job queue window on job addition"},
    {124, "Show friendly download results"},
    {125, "Keep log of completed jobs"},
    {126, "Clipboard Monitoring"},
    {127, "Ignore addresses sent to clipboard"},
    {128, "Prompt to create a new job"},
    {129, "Create a new job automatically"},
    {130, "Enable sounds"},
    {131, "Play sound on job start"},
    {132, "Play sound on job stop"},
    {133, "Play sound on file download"},
    {134, "Enable speech"},
    {135, "Speak on application start"},
    {136, "Speak on application stop"},
    {137, "Speak on job start"},
    {138, "Speak on job stop"},
    // Job queue and progress view.
    {139, "Current Job: XXX"},
    {140, "XXX of YYY Jobs Completed"},
    {141, "Ready"},
    {142, TextStatus},
    {143, TextJobName},
    {144, "Start jobs automatically"},
    {145, "Save each job in separate subfolder"},
    {146, "Shutdown the computer when all jobs completed"},
    {147, "Run application on job completion"},
    {148, "Remove completed jobs from queue"},
    {149, "Move up"},
    {150, "Move down"},
    {151, TextStart},
    {152, "Stop"},
    {153, "Stop downloading"},
    {154, "Abort job"},
    {155, TextRemove},
    {156, "Unable to read job file"},
    {157, "Unable to write job file"},
    {158, "Launch copied site"},
    {159, "Create ZIP file"},
    {160, "Open CD burning wizard"},
    {161, "Completed Files"},
    {162, "Result"},
    {163, TextLocation},
    {164, "Files in Progress"},
    {165, TextStatus},
    {166, "% Done"},
    {167, "Size"},
    {168, TextLocation},
    {169, "Download Progress: XXX of YYY"},
    {170, "Rewrite Progress: XXX of YYY"},
    {171, "Pause"},
    {172, "Save Results..."},
    {173, "View"},
    {174, "Downloading"},
    {175, "Reading"},
    {176, "Writing"},
    {177, "Pruning"},
    {178, "Flattening"},
    {179, TextComplete},
    {180, "Error XXX (YYY)"},
    {181, "Stop downloading XXX"},
    {182, "Stop downloading all from XXX"},
    {183, "Stop downloading all with extension XXX"},
    {184, "Stop downloading all of MIME type XXX"},
    {185, "Invalid Command Line Parameter"},
    {186, "Cancelled"},
    {187, "Internal Error"},
    {188, "File Read Error"},
    {189, "Filtered: Location"},
    {190, "Filtered: Depth"},
    {191, "Filtered: Address"},
    {192, "Filtered: Domain Name"},
    {193, "Filtered: File Count"},
    {194, "Filtered: File Size"},
    {195, "Filtered: Job Download Size"},
    {196, "Filtered: File Extension"},
    {197, "Filtered: MIME Type"},
    {198, "Filtered: Query"},
    {199, "Filtered: Password"},
    {200, "Filtered: Protocol"},
    {201, "Filtered: Job Time"},
    {202, "Previously Downloaded"},
    // Passwords, proxy and history pages.
    {203, "This site is already in the list. Please remove it first."},
    {204, "Site"},
    {205, "Username"},
    {206, "Password"},
    {207, "Add..."},
    {208, TextRemove},
    {209, "The passwords list is full. Please remove an entry first."},
    {210, "Use proxy server"},
    {211, TextAddress},
    {212, "Port"},
    {213, "Bypass proxy server for local addresses"},
    {214, "Save history"},
    {215, "History length"},
    {216, "Clear history"},
    // Job log.
    {217, "View Copy"},
    {218, "Explore Folder"},
    {219, "Remove From Log"},
    {220, TextJobName},
    {221, "Date"},
    {222, TextAddress},
    {223, TextFilename},
    // About page.
    {224, "Version XXX"},
    {239, "Missing file XXX"},
    {240, "Help"},
    {241, "Check for Upgrade"},
};

constexpr bool NumbersAreUniqueAndInRange() {
    std::array<bool, LocalTextCount> seen{};
    for (const auto& entry : EnglishTexts) {
        if (entry.Number >= LocalTextCount || seen[entry.Number]) return false;
        seen[entry.Number] = true;
    }
    return true;
}
static_assert(NumbersAreUniqueAndInRange(), "each text number is defined once");

constexpr std::array<std::string_view, LocalTextCount> MakeEnglishTable() {
    std::array<std::string_view, LocalTextCount> table{};
    for (const auto& entry : EnglishTexts) table[entry.Number] = entry.Text;
    return table;
}
constexpr auto EnglishTable = MakeEnglishTable();

} // namespace

std::string_view BuiltInEnglishText(int Number) {
    if (Number < 0 || Number >= LocalTextCount) return {};
    return EnglishTable[static_cast<std::size_t>(Number)];
}

} // namespace jobs
