#pragma once
// What the installation run needs of the host application. The run programs against Host; the
// COM binding implements it for the real host, and tests fake it.

#include "description/host_versions.h"
#include "description/model.h"
#include "install/host/host_busy.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tamrick {

class Host {
  public:
    virtual ~Host() = default;
    // Creates a new application object; error 429 when it can't be created.
    virtual void Open() = 0;
    // Hides the host's window: writes false to the application's Visible property.
    virtual void SetInvisible() = 0;
    // The folder for one of "userdatapath", "gmspath", "usergmspath", "applicationpath", exactly
    // as the host returns it; std::nullopt for any other key, and then nothing is asked of the
    // host.
    virtual std::optional<std::wstring> ResolveFolder(const std::wstring& key) = 0;
    // Has the host import a workspace file.
    virtual void ImportWorkspace(const std::wstring& path) = 0;
    // Drops the reference; never asks the host to quit. Harmless when nothing is held.
    virtual void Release() noexcept = 0;
};

// The host folders that a target key can name.
enum class HostFolder { UserData, Gms, UserGms, Application };

// Keys arrive lower-cased by the description reader, so the comparison is exact.
inline std::optional<HostFolder> FolderForKey(std::wstring_view key) {
    if (key == kTargetUserDataPath)
        return HostFolder::UserData;
    if (key == kTargetGmsPath)
        return HostFolder::Gms;
    if (key == kTargetUserGmsPath)
        return HostFolder::UserGms;
    if (key == kTargetApplicationPath)
        return HostFolder::Application;
    return std::nullopt;
}

#ifdef _WIN32
// The binding to the automation server of one version of the host (13 is X3). Needs a COM
// apartment on the calling thread. A creation or call that the host turns away is tried again for
// up to busyLimit (shorter only in tests), sleeping in between.
std::unique_ptr<Host> MakeComHost(int major = kX3Major,
                                  std::chrono::milliseconds busyLimit = kHostBusyLimit);
#endif

} // namespace tamrick
