#pragma once

#include "CaptureLock.h"
#include "ClipboardServer.h"
#include "CommandLine.h"

#include <QObject>

#include <memory>

class QPixmap;
class TSnapRectForm;

/// A capture that the command line asks for, without the main window: after
/// the delay the whole desktop (--full) or the overlay (--region); the
/// picture then goes to a file, standard output, the clipboard or the save
/// dialog. Ends the event loop with the process's exit status. When, after
/// the delay, another capture of this user on this display runs, it brings
/// that one to the front and ends with CommandLine::Left.
class CaptureCommand : public QObject
{
    Q_OBJECT

public:
    explicit CaptureCommand(const CommandLine &options);
    ~CaptureCommand() override;

    /// Starts the delay; the rest happens in the event loop.
    void start();

private:
    void fullScreen(const QPixmap &desktop);
    void region(const QPixmap &desktop);
    /// Writes \a picture to the output, if any, and copies it when \a copy;
    /// tells what went wrong on standard error.
    bool deliver(const QPixmap &picture, bool copy);
    void finish(int status);

    CommandLine m_options;
    CaptureLock m_lock;
    ClipboardServer m_clipboard;
    std::unique_ptr<TSnapRectForm> m_overlay;
    bool m_saved = false;
    bool m_finished = false;
};
