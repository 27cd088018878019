// Resource ids of the launcher executable.
#pragma once

#define IDI_APP 107  // application icon group: window classes and the shell use it
