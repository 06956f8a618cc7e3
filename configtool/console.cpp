// SPDX-License-Identifier: GPL-3.0-or-later
#include "console.h"

#include <cstdio>

#include <unistd.h>

namespace {
// Fast enough to follow, slow enough not to flicker.
constexpr int redrawMs = 100;
} // namespace

Console::Console()
    : terminal(isatty(fileno(stderr)) == 1)
{
}

void Console::print(const QString &line)
{
    erase();
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
    draw();
}

void Console::error(const QString &line)
{
    erase();
    std::fprintf(stderr, "%s\n", qPrintable(line));
    draw();
}

void Console::progress(int module, const QString &text)
{
    while (lines.size() <= module)
        lines << QString();
    if (!terminal || lines.at(module) == text)
        return;
    const bool removed = text.isEmpty();
    lines[module] = text;
    if (!removed && drawn > 0 && sinceDraw.isValid() && sinceDraw.elapsed() < redrawMs)
        return;
    erase();
    draw();
}

void Console::erase()
{
    if (drawn > 0)
        std::fprintf(stderr, "\x1b[%dA\x1b[J", drawn);
    drawn = 0;
}

void Console::draw()
{
    if (!terminal)
        return;
    for (const QString &line : qAsConst(lines)) {
        if (!line.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
            ++drawn;
        }
    }
    std::fflush(stderr);
    sinceDraw.start();
}
