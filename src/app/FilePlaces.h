// Where this run keeps its settings, logs and error reports. A copy in a folder the user can
// write to (a build folder, a copy unpacked somewhere) keeps them beside the program. An
// installed copy (its own share/corvane beside its bin folder, whatever the prefix) or one in
// a folder it cannot write to keeps them in the user's own folders: settings under
// $XDG_CONFIG_HOME/corvane, logs and error reports under $XDG_DATA_HOME/corvane. CORVANE_HOME
// puts all of them in one folder of the user's choice. The window's state always goes under
// $XDG_STATE_HOME/corvane, never into the settings file.
#pragma once

#include <functional>
#include <string>

namespace corvane {

enum class TPlaceRule { BesideProgram, UserFolders, CorvaneHome };

struct TFilePlaces {
    TPlaceRule Rule = TPlaceRule::BesideProgram;
    std::string SettingsFile; // the settings file itself
    std::string LogBase;      // logs are LogBase_NN.LOG / LogBase_NN.txt
    std::string ErrorReport;  // the error report file
    std::string HistoryFile;  // the history database, beside the logs
    std::string HelpFile;     // the user's guide
    std::string StateFile;    // the window's state; empty: not kept
    std::string ConfigFolder; // the folder of the settings file
    std::string DataFolder;   // the folder of the logs and error reports
};

// Looks up an environment variable; empty when unset.
using TEnvLookup = std::function<std::string(const char* name)>;

// The rule itself: programPath is the running program, programFolderWritable whether this
// process may create files beside it.
TFilePlaces ChooseFilePlaces(const std::string& programPath, bool programFolderWritable,
                             const TEnvLookup& env);

// The same for this process: its environment and the folder's real permissions.
TFilePlaces FilePlacesForThisRun(const std::string& programPath);

// Everything beside the program, as a copy in a writable folder has it.
TFilePlaces BesideProgram(const std::string& programPath);

// Creates a folder and its missing parents; false when it cannot be made.
bool MakeFolder(const std::string& folder);

// Whether this run can keep its files in the folder: it is made (with its parents) and a file is
// created and removed in it. Empty when that works, else "cannot write to <folder>: <reason>"
// with the C library's text for what failed. A run that cannot write its logs says so at once
// rather than losing them without a word.
std::string CannotWriteTo(const std::string& folder);

// The folders for the About box: one line for the settings, one for the logs.
std::string DescribePlaces(const TFilePlaces& places);

} // namespace corvane
