#include "AppConstants.h"
#include "CaptureCommand.h"
#include "ClipboardServer.h"
#include "CommandLine.h"
#include "StartUp.h"
#include "TMainForm.h"
#include "platform/DisplaySession.h"
#include "platform/ScreenGrabber.h"
#include "platform/StandardOutput.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    CommandLine options;
    options.standardOutputClosed = standardOutputWasClosed();
    {
        // Help, the version and mistakes need no display: decided before
        // the application reaches for one.
        QCoreApplication probe(argc, argv);
        if (const std::optional<int> status = options.parse(QCoreApplication::arguments()))
            return *status;
    }
    // A capture at once: its memory is readied while Qt starts.
    if (options.mode == CommandLine::Mode::Region || options.mode == CommandLine::Mode::Full)
        ScreenGrabber::prepareBeforeApplication();
    // Qt would abort with a page of its own; one line says what is missing.
    if (const QString problem = DisplaySession::unreachable(); !problem.isEmpty()) {
        printError(problem);
        return CommandLine::Failed;
    }
    if (options.mode == CommandLine::Mode::ServeClipboard) {
        QGuiApplication app(argc, argv);
        return serveClipboard(options.output);
    }

    // Every option has been read, and none is for Qt, which would take
    // --geometry as the place of the first window.
    int programNameOnly = 1;
    QApplication app(programNameOnly, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    loadTranslator(QStringLiteral("qt_"));
    QCoreApplication::setApplicationName(appTitle);
    registerFontSubstitutes();
    QApplication::setFont(appFont);

    // A capture gives its windows the icon when they show (see CaptureCommand).
    if (options.mode != CommandLine::Mode::Resident) {
        CaptureCommand command(options);
        command.start();
        return app.exec();
    }
    setProgramIcon();
    TMainForm mainForm;
    mainForm.show();
    return app.exec();
}
