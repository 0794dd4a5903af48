#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

/// What the command line asks for. Read before any window system is
/// reached, so that --help, --version and mistakes need no display.
struct CommandLine
{
    enum class Mode { Resident, Region, Full, ServeClipboard };
    /// The process's exit statuses.
    enum Status { Done = 0, Failed = 1, Left = 2 };

    Mode mode = Mode::Resident;
    /// An absolute file name, "-" for standard output, or empty.
    QString output;
    bool clipboard = false;
    /// In the desktop picture's pixels; null for the whole desktop.
    QRect geometry;
    int delayMs = 0;
    /// Set before parse() when the process has no standard output to write
    /// a picture to: "-o -" is then refused.
    bool standardOutputClosed = false;

    /// Reads \a arguments (the program's name first), relative file names
    /// against the working directory of the moment. Prints help, the version
    /// or what is wrong and returns the exit status when there is nothing
    /// more to do; nothing when the program is to run.
    std::optional<int> parse(const QStringList &arguments);
};

/// Prints "snaprect: " and \a message as one line on standard error.
void printError(const QString &message);
