// The process around the demo on Windows: the standard streams and the console's close
// events.
//
// A GUI program started from a console (cmd.exe, PowerShell) gets no standard streams of its
// own: it writes them to the console it was started from, so that --help, --version and the
// reason for a failure can be read there. Streams the starter did hand over (redirected to a
// file or a pipe) stay as they are.
//
// Ctrl+C, Ctrl+Break and closing the console (or the user logging off, the system shutting
// down) are close requests, as SIGINT, SIGTERM and SIGHUP are on POSIX systems. Windows calls
// the handler on a thread of its own; the main loop takes the request on its next pass. For a
// console window being closed Windows ends the process once the handler returns, so it waits
// (within the few seconds Windows grants) until the main loop has taken the request.
#include "shell/process.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

static std::atomic<int> pendingCloseEvent{0};

// The event numbers are Windows' own (CTRL_C_EVENT is 0), so a taken request is the event + 1.
static BOOL WINAPI recordCloseEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        pendingCloseEvent.store(static_cast<int>(event) + 1);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        pendingCloseEvent.store(static_cast<int>(event) + 1);
        for (int waited = 0; waited < 100 && pendingCloseEvent.load() != 0; ++waited) {
            Sleep(20);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

static bool isUsable(DWORD stream)
{
    HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

static void writeMissingStreamsToParentConsole()
{
    const bool outUsable = isUsable(STD_OUTPUT_HANDLE);
    const bool errUsable = isUsable(STD_ERROR_HANDLE);
    if ((outUsable && errUsable) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    if (!outUsable) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!errUsable) {
        std::freopen("CONOUT$", "w", stderr);
    }
}

void prepareProcess()
{
    writeMissingStreamsToParentConsole();
    SetConsoleCtrlHandler(recordCloseEvent, TRUE);
}

// A Windows process is never stopped and continued as a POSIX one is.
unsigned int continueCount() { return 0; }

int takeCloseSignal() { return pendingCloseEvent.exchange(0); }
