#pragma once

#include "ini/file_error.h"
#include "model/settings_model.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace pmv::model {

struct LoadProfileResult {
    // The lines for the window's description field (txt0 ... txt3, empty ones included);
    // nothing when the load stopped before it read them.
    std::optional<std::array<std::string, 4>> description;
    // The write of the load the system refused.
    std::optional<ini::FileError> error;
};

// Fills the model from the profile at path. A missing file is first written complete with the
// new-file values; a missing key gives the field its missing-key value, and a float that is
// not a number leaves the field as it was. Writes wr_grad_immid = 1 and the otk_type read back
// into the file, each unless the file already holds it so. On a failed write the model holds
// what was read before it.
LoadProfileResult LoadProfile(const std::string& path, SettingsModel& model);

struct ReadProfileResult {
    std::array<std::string, 4> description;
    bool exists = false;        // the file is there
    bool holdsProfile = false;  // it holds at least one of a profile's sections
    // The file is there but cannot be read: its Read with the system's errno.
    std::optional<ini::FileError> error;
};

// Fills the model as LoadProfile does, but writes nothing: a missing file gives a new profile's
// values, and the write-backs change only what is read after them.
ReadProfileResult ReadProfile(const std::string& path, SettingsModel& model);

// Takes the first four of the description lines into model.definition (missing lines are
// empty), then writes the model into the profile at path, creating it when it does not exist
// and making a read-only file writable first. Keys the save does not write stay in the file.
// Returns the step the system refused when the file cannot be written.
std::optional<ini::FileError> SaveProfile(const std::string& path, SettingsModel& model,
                                          const std::vector<std::string>& descriptionLines);

// The process's current directory ("." when it cannot be found).
std::string CurrentDirectory();

// The profile that keeps the window's state at exit: the current directory followed by
// "/recent.prf", formed anew at each call.
std::string RecentProfilePath();

}  // namespace pmv::model
