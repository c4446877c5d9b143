#pragma once
// Resource numbers shared by the resource script and the window's code.

// The program's icon; the lowest number, so the shell shows it for the executable.
#define IDI_TAMRICK 1
// The pointing hand over the banner.
#define IDC_BANNER_HAND 101
// The banner shown unless a banner file replaces it.
#define IDB_BANNER 201
