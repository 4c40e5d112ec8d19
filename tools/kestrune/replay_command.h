#pragma once
// `kestrune replay`: runs a captured HTTP request through an Upload object exactly as a page
// would (created by CLSID, bound to a page over the file, optional settings, Save), prints the
// outcome as JSON, optionally keeps the files, and cleans up.

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrune {

/// A command line that cannot be run; what() is the one-line reason.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TReplayOptions {
    std::filesystem::path request;
    std::optional<std::filesystem::path> tempDir;
    std::optional<std::filesystem::path> saveDir;
    bool overwrite = false;
    std::optional<long> codePage;
    /// 0 no, 1 yes, 2 auto (the values of TYesNoAuto).
    std::optional<int> charRefs;
    std::optional<std::string> id;
    /// The limits of IUpload2 by property name (MaxFiles, ...), in the order given.
    std::vector<std::pair<std::string, long>> limits;
    bool requireCompleteBody = false;
    /// --progress (true) or --no-progress (false); unset, the bar shows when standard error is a terminal.
    std::optional<bool> progress;
    bool compact = false;
    bool help = false;
};

/// Parses the arguments that follow `replay`. Throws EUsage.
TReplayOptions ParseReplayOptions(const std::vector<std::string>& args);

/// The option summary printed by --help.
std::string ReplayUsage();

/// Runs one replay: JSON on `out`, one-line errors on `err`. Returns the exit code: 0 when Save
/// answered S_OK, 1 when it failed, 2 when the request file cannot be read or the run cannot start.
int RunReplay(const TReplayOptions& options, std::ostream& out, std::ostream& err);

/// Parse and run; usage errors give exit code 2.
int ReplayMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kestrune
