#pragma once
// Which versions of CorelDRAW are installed, from the registry alone: nothing is started and
// nothing is written.

#include <windows.h>

#include <optional>
#include <span>
#include <vector>

namespace tamrick {

// The class that a version registers, looked up in the 64-bit and in the 32-bit registry view,
// since the host may be of the other width than the installer (on 32-bit Windows both are the
// one view). X3 (13): its own class, where that is registered. Any other major N: the class that
// CorelDRAW.Application.N names, where that class has a local server. std::nullopt where none.
std::optional<CLSID> FindHostClass(int major);

// Those of `named` whose class is registered, in the same order.
std::vector<int> FindInstalledHosts(std::span<const int> named);

} // namespace tamrick
