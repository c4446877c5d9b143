// The window object and its system window live and die together: a construction that fails
// half-way leaves no window behind whose messages would reach a destroyed object.
#include "window/frm_main.h"

#include "base/error.h"

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kWindowClass = L"TamrickInstallerWindow";

TEST(WindowLifetime, AConstructionThatFailsAfterTheWindowWasMadeLeavesNoWindow) {
    tamrick::SharedState state;
    state.AppFolder = L"C:\\";
    state.SetupTitle = L"Tamrick Installer";
    state.FlagsPicture = L"flags.bmp";
    tamrick::ProgramLog noLog(nullptr, L"installer");
    // This program carries no resources: the design-time banner can't be loaded, which fails
    // after the window and its controls exist.
    EXPECT_THROW(tamrick::frmMain form(state, noLog), tamrick::Error);
    EXPECT_EQ(FindWindowW(kWindowClass, nullptr), nullptr);
    // What would have gone to the window goes nowhere harmful.
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

} // namespace
