#pragma once
// The resources of quarnell-verify.exe. The icon is the first one of the executable (".exe,0" in
// the shell registration).
#define QN_IDI_PROGRAM 1
#define QN_IDB_BANNER 101
