// A program that breaks the gates of a shipped one: it imports a function that came with
// Windows Vista and a DLL outside the known system DLLs.

#include <windows.h>

#include <commctrl.h>

int main() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(GetTickCount64() & 1);
}
