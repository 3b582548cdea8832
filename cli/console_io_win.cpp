#include "console_io.h"

#include <qt_windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>

namespace {
std::atomic<bool> s_interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const bool again = s_interrupted.exchange(true);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        if (again)
            ExitProcess(130);
        return TRUE;
    }
    // The console is closing (or the user logging off): Windows ends the program once this
    // returns, or after five seconds, so the run gets what is left of them to write its file.
    Sleep(4500);
    return TRUE;
}

HANDLE consoleOf(std::FILE *stream)
{
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) ? h : nullptr;
}
} // namespace

void writeText(std::FILE *stream, const QString &text)
{
    std::fflush(stream);
    if (const HANDLE console = consoleOf(stream)) {
        DWORD written = 0;
        WriteConsoleW(console, reinterpret_cast<const wchar_t *>(text.utf16()), DWORD(text.size()), &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool isTerminal(std::FILE *stream) { return consoleOf(stream) != nullptr; }

void passBytesAsTheyAre(std::FILE *stream)
{
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
}

void catchInterrupts() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool interruptRequested() { return s_interrupted.load(); }
