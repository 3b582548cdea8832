#include "console_io.h"

#include <csignal>
#include <cstdlib>

#include <unistd.h>

namespace {
volatile std::sig_atomic_t s_interrupted = 0;

extern "C" void onSignal(int)
{
    if (s_interrupted)
        std::_Exit(130);
    s_interrupted = 1;
}
} // namespace

void writeText(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool isTerminal(std::FILE *stream) { return isatty(fileno(stream)) != 0; }

void passBytesAsTheyAre(std::FILE *) {}

void catchInterrupts()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

bool interruptRequested() { return s_interrupted != 0; }
