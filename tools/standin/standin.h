#pragma once
// A stand-in for the automation server of CorelDRAW X3 or of a later version, for tests and
// demonstrations: it answers the members the installer uses, with its version, folders and faults
// read from CorelDRW.ini beside it, and appends every call it receives to CorelDRW.log beside it.
// Several copies, each in its own folder, play several versions installed side by side.

#include "base/handles.h"
#include "description/host_versions.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

using tamrick::UniqueHandle;

// The stand-in's own type library, which lets COM marshal the host's two dual interfaces.
inline constexpr GUID kTypeLibId{
    0xddc67e58, 0x6b19, 0x42fd, {0xa3, 0x50, 0xf2, 0x47, 0x45, 0x40, 0xf3, 0x6a}};
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;
#ifdef _WIN64
inline constexpr SYSKIND kSysKind = SYS_WIN64;
#else
inline constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

inline constexpr std::wstring_view kConfigName = L"CorelDRW.ini";
inline constexpr std::wstring_view kLogName = L"CorelDRW.log";
inline constexpr std::wstring_view kTypeLibName = L"CorelDRW.tlb";

struct Fault {
    std::int32_t number = 0;
    std::wstring description;
};

// The class a version registers: X3's own, or for a later major N the stand-in's class
// {5A110000+N-2109-4B5D-BC63-17AE8914E384} (the installer finds it through the ProgID).
CLSID ClassOfVersion(int major);

struct Config {
    int version = tamrick::kX3Major; // the major played
    std::wstring path;               // Application.Path
    std::wstring gmsPath;            // GMSManager.GMSPath
    std::wstring userGmsPath;        // GMSManager.UserGMSPath
    std::wstring userDataPath;       // Application.UserDataPath
    HRESULT refuseCreation = S_OK;
    std::map<std::wstring, Fault> faults; // by lower-cased member name
    // Busy: every call is turned away for that long, from the start, or from the first call of
    // busyMember (lower-cased) when one is named.
    DWORD busyMs = 0;
    std::wstring busyMember;
    DWORD slowStartMs = 0;             // before the class object is registered
    std::vector<std::wstring> hangs;   // members that wait for a dialog to be answered
    std::vector<std::wstring> crashes; // members inside which the process ends
    std::vector<std::wstring> ignored; // lines that were not understood, for the log
};

// The folders when the config names none: where that version keeps them (X3 under
// "CorelDRAW Graphics Suite 13").
Config DefaultConfig(int version = tamrick::kX3Major);
// Parses the UTF-8 text of CorelDRW.ini over the given defaults.
Config ParseConfig(std::string_view text, Config defaults);
// The config beside the stand-in, over the defaults of the version it names.
Config LoadConfig(const std::wstring& folder);

// The log of one stand-in: a version other than X3 names itself on every line.
struct LogFile {
    std::wstring path;
    int version = tamrick::kX3Major;
};

// Appends one line "time<TAB>what<TAB>access[<TAB>argument...]" to the log, for a version other
// than X3 "time<TAB>major<TAB>what<TAB>access[<TAB>argument...]".
void AppendLog(const LogFile& log, std::wstring_view what, std::wstring_view access,
               const std::vector<std::wstring>& arguments = {});

// What the serving objects share for the life of the process. One thread serves every call.
class Server {
  public:
    Server(Config config, std::wstring logPath);

    const Config config;
    const LogFile log;
    const DWORD threadId;

    // Whether a call to the member (lower-cased; empty for a creation or a name look-up) is
    // turned away now, as a host that is starting or showing a dialog does. The first call of
    // the configured member starts the busy time.
    bool TurnsAway(const std::wstring& member) const;
    // A member configured to hang shows a dialog that holds the call until someone answers it
    // or the server is asked to quit; one configured to crash ends the process at once, without
    // a word to COM, as a crash does.
    void HangOrCrash(const std::wstring& member) const;

  private:
    mutable bool busyStarted_;
    mutable DWORD busySince_;
};

// Waits that long while handling the thread's messages; false when asked to quit meanwhile
// (the quit message stays queued).
bool WaitUnlessQuit(DWORD milliseconds);

// Registers the class factory and serves until the last object is released.
int Serve(const std::wstring& folder);
// Writes the registration of the version the config names, in this program's registry view or,
// with otherView, in the other width's (a 64-bit program writes the 32-bit view).
HRESULT RegisterServer(const std::wstring& exePath, const std::wstring& folder, bool otherView);
// Removes it from both views.
HRESULT UnregisterServer(const std::wstring& folder);

} // namespace standin
