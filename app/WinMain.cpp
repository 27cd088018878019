#include <windows.h>

// Process entry. The start-up and window sequence are built on top of this.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
