#include "../Settings.h"
#include "OvNetworkLimits.h"
#include "OvResourceCheck.h"

#include <OvAdHelper.h>

#include <QtGui>

// The harness for one input from outside, chosen by the FUZZ_ macro it is
// built with. Each runs what the library does with such an input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Fonts and pictures want a GUI application, which needs no display offscreen.
    static int argc = 1;
    static char name[] = "fuzz", *argv[] = {name, nullptr};
    [[maybe_unused]] static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    // A copy of its own, which ends in a NUL as every QByteArray from Qt does.
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
#if defined(FUZZ_ad_document)
    QBuffer document(&input);
    document.open(QIODevice::ReadOnly);
    OvAdHelper().readConfig(&document);
#elif defined(FUZZ_settings_file)
    QTemporaryFile file;
    if (file.open() && file.write(input) == input.size() && file.flush())
        Settings().load(file.fileName());
#elif defined(FUZZ_skin_file)
    // Whatever the check lets through, Qt must list and read without harm.
    const auto *skin = reinterpret_cast<const uchar *>(input.constData());
    if (ov::isResourceData(input) && QResource::registerResource(skin, "/fuzz")) {
        for (QDirIterator it(":/fuzz", QDirIterator::Subdirectories); it.hasNext();) {
            QFile entry(it.next());
            if (entry.open(QIODevice::ReadOnly))
                entry.readAll();
        }
        QResource::unregisterResource(skin, "/fuzz");
    }
#elif defined(FUZZ_update_reply)
    ov::isNewerVersionReply(input);
#endif
    return 0;
}
