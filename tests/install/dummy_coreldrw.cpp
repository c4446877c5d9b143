// Stands in for a running host: a windowless process with the host's image name that waits.
// A GUI program, so that Wine starts no console host beside it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(60000);
    return 0;
}
