// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

// The program's output: results on standard output, errors on standard error,
// and, when standard error is a terminal, one progress line per module kept
// below the results and redrawn in place.
class Console
{
public:
    Console();

    void print(const QString &line);
    void error(const QString &line);
    // An empty text removes the module's line.
    void progress(int module, const QString &text);

private:
    void erase();
    void draw();

    const bool terminal;
    QStringList lines;
    int drawn = 0;
    QElapsedTimer sinceDraw;
};
