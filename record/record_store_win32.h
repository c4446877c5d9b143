#pragma once
// The record folder on Windows: %ProgramData%\Tamrick\<AddonId>\ for an administrator's
// installation (an access list that only administrators can change, set as it is made),
// %LOCALAPPDATA%\Tamrick\<AddonId>\ for a standard user's; the entry in Apps & features under
// HKLM or HKCU to match.

#include "record/journal.h"
#include "record/record_names.h"

#include <memory>
#include <string>

namespace tamrick {

// Where this process keeps the record of that add-on: the machine's when it acts as an
// administrator, else the user's. Throws Error when the system has no such folder.
struct RecordPlace {
    RecordScope scope = RecordScope::Machine;
    std::wstring folder; // ends in a separator
};
RecordPlace RecordPlaceFor(const std::wstring& addonId);

// The store of the record in `place.folder`, for the add-on `addonId`. An uninstaller makes it
// for its own folder with an empty id: the id and the scope then come from the record.
std::unique_ptr<RecordStore> MakeWin32RecordStore(RecordPlace place, std::wstring addonId);

} // namespace tamrick
