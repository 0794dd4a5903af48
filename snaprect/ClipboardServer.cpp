#include "ClipboardServer.h"

#include "CommandLine.h"
#include "platform/ScreenGrabber.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

namespace {
// How long the detached copy may take to start and own the clipboard.
constexpr int ownerStartMs = 20000;
// The picture's scratch file, in the temporary folder.
constexpr char handOverPrefix[] = "snaprect-clipboard-";
} // namespace

QString handOverToClipboard(const QImage &picture)
{
    const QString refusal = ScreenGrabber::instance().clipboardRefusal();
    if (!refusal.isEmpty())
        return refusal;
    // Handed over in a private file that the copy removes once read.
    QTemporaryFile file(QDir::temp().filePath(QLatin1String(handOverPrefix) + QStringLiteral("XXXXXX.png")));
    file.setAutoRemove(false);
    QImageWriter writer(&file, "png");
    if (!file.open() || !writer.write(picture) || !file.flush()) {
        file.remove();
        return QStringLiteral("无法写入临时文件：%1").arg(file.errorString());
    }
    file.close();

    QClipboard *clipboard = QGuiApplication::clipboard();
    QEventLoop wait;
    QObject::connect(clipboard, &QClipboard::dataChanged, &wait, &QEventLoop::quit);
    QTimer::singleShot(ownerStartMs, &wait, [&wait] { wait.exit(1); });

    // Detached from this process's terminal, so that a shell that reads its
    // output does not wait for the copy, and from its working directory.
    QProcess owner;
    owner.setProgram(QCoreApplication::applicationFilePath());
    owner.setArguments({QStringLiteral("--serve-clipboard"), file.fileName()});
    owner.setStandardInputFile(QProcess::nullDevice());
    owner.setStandardOutputFile(QProcess::nullDevice());
    owner.setStandardErrorFile(QProcess::nullDevice());
    owner.setWorkingDirectory(QDir::rootPath());
    if (!owner.startDetached()) {
        file.remove();
        return QStringLiteral("无法启动保管剪贴板的进程：%1").arg(owner.errorString());
    }
    if (wait.exec() != 0)
        return QStringLiteral("剪贴板没有接受图像：没有程序在 %1 秒内取得剪贴板。").arg(ownerStartMs / 1000);
    return {};
}

int serveClipboard(const QString &fileName)
{
    const QImage picture(fileName);
    // Only a file that handOverToClipboard() made goes: the option is one
    // that anybody may type, with a picture of their own.
    const QFileInfo file(fileName);
    if (file.dir() == QDir::temp() && file.fileName().startsWith(QLatin1String(handOverPrefix)))
        QFile::remove(fileName);
    if (picture.isNull())
        return CommandLine::Failed;
    QClipboard *clipboard = QGuiApplication::clipboard();
    // Ends once another program has taken the clipboard over (a clipboard
    // manager among them, which then keeps a copy).
    QObject::connect(clipboard, &QClipboard::dataChanged, qApp, [clipboard] {
        if (!clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    clipboard->setImage(picture);
    // Where the window system refuses a program without focus (Wayland),
    // there is nothing to serve.
    if (!clipboard->ownsClipboard())
        return CommandLine::Failed;
    return QGuiApplication::exec();
}
