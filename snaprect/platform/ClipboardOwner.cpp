#include "ClipboardOwner.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

// Qt's clipboard. X11 lets any client own a selection; whether this one
// does is known as soon as the request has been made.
class QtClipboardOwner : public ClipboardOwner
{
public:
    Taken take(const QByteArray &png, QString *failure) override
    {
        // Wayland lets only a client with the keyboard focus set the
        // clipboard, which a program without a window never has.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            return Taken::NotOffered;
        QClipboard *clipboard = QGuiApplication::clipboard();
        auto *data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png);
        clipboard->setMimeData(data);
        if (!clipboard->ownsClipboard()) {
            *failure = QStringLiteral("窗口系统没有把剪贴板交给保管它的进程。");
            return Taken::Failed;
        }
        connect(clipboard, &QClipboard::dataChanged, this, [this, clipboard] {
            if (!clipboard->ownsClipboard())
                emit replaced();
        });
        return Taken::Held;
    }
};

} // namespace

std::unique_ptr<ClipboardOwner> ClipboardOwner::create()
{
    if (qgetenv("SNAPRECT_CLIPBOARD") != "qt") {
        if (std::unique_ptr<ClipboardOwner> native = createNative())
            return native;
    }
    return std::make_unique<QtClipboardOwner>();
}
