// Uses something from each family that Ovkit exports, through the installed
// headers and library only. Prints one line per check; exits 1 if one failed.
#include <OvXmlFile.h>

#include <OvAdHelper.h>
#include <OvAdImageData.h>
#include <OvCheckUpdate.h>
#include <OvDynamicMenu.h>
#include <OvSkin.h>
#include <OvUtils.h>

#include <QApplication>
#include <QBuffer>
#include <QMenu>
#include <QTemporaryDir>
#include <QWidget>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

int failures = 0;

void check(bool passed, const char *what)
{
    std::printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    if (!passed)
        ++failures;
}

// A settings file of one number, read and written through the base class's
// virtual hooks: the library's vtable and type information must be exported.
class Settings : public OvXmlFile
{
public:
    int value = 0;

protected:
    void readParse(QXmlStreamReader *reader) override
    {
        if (reader->readNextStartElement())
            readInteger(reader, QStringLiteral("value"), value);
    }
    void writeParse(QXmlStreamWriter *writer) override
    {
        writer->writeStartDocument();
        writer->writeStartElement(QStringLiteral("settings"));
        writeInteger(writer, QStringLiteral("value"), value);
        writer->writeEndElement();
        writer->writeEndDocument();
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;

    check(ov::textFileCodec(QByteArrayLiteral("\xEF\xBB\xBF" "text")) == ov::Utf8ByteOrderMark,
          "ov::textFileCodec recognises a UTF-8 byte-order mark");
    QWidget window;
    window.resize(100, 50);
    ov::moveCenter(&window, QRect(0, 0, 300, 250));
    check(window.pos() == QPoint(100, 100), "ov::moveCenter centres a window in an area");

    Settings saved;
    saved.value = 42;
    saved.save(folder.filePath(QStringLiteral("settings.xml")));
    Settings loaded;
    loaded.load(folder.filePath(QStringLiteral("settings.xml")));
    check(loaded.value == 42, "an OvXmlFile subclass saves and loads its settings");

    // Nothing listens on port 1: the check fails at once and says "no update".
    OvCheckUpdate checker;
    int answers = 0;
    bool update = true;
    QObject::connect(&checker, &OvCheckUpdate::update, &app, [&](bool newer) {
        ++answers;
        update = newer;
        QCoreApplication::quit();
    });
    checker.exec(QStringLiteral("http://127.0.0.1:1/ver.php"), QStringLiteral("consumer"), QStringLiteral("1"));
    QApplication::exec();
    check(answers == 1 && !update, "OvCheckUpdate signals no update when the service is unreachable");

    QByteArray document("<ovk version=\"1\">"
                        "<ad image_url=\"http://127.0.0.1:1/a.png\" image_format=\"png\" link_url=\"http://127.0.0.1:1/a\"/>"
                        "<ad image_url=\"http://127.0.0.1:1/b.png\" image_format=\"png\" link_url=\"http://127.0.0.1:1/b\"/>"
                        "</ovk>");
    QBuffer buffer(&document);
    buffer.open(QIODevice::ReadOnly);
    OvAdHelper ads;
    ads.readConfig(&buffer);
    check(ads.images().size() == 2 && !ads.images().at(1)->m_loaded
              && ads.images().at(1)->m_data.linkUrl == QLatin1String("http://127.0.0.1:1/b"),
          "OvAdHelper reads an ad document into OvAdImageData entries");

    QMenu menu;
    OvDynamicMenu recent;
    recent.setMenu(&menu);
    recent.setMaxCount(2);
    recent.add(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true, false);
    QStringList texts;
    recent.menuTextList(texts);
    check(texts == QStringList({QStringLiteral("b"), QStringLiteral("c")}), "OvDynamicMenu keeps the newest entries");

    OvSkin skins;
#ifdef CONSUMER_SKINS
    skins.init(&app, QStringLiteral(CONSUMER_SKINS), QStringLiteral("Skins"), QStringLiteral("System"));
    skins.setSkinName(QStringLiteral("Plain"));
    check(skins.menu()->actions().size() == 2 && app.styleSheet().contains(QLatin1String("#fafafa")),
          "OvSkin applies a skin built by ovkit_add_skins()");
#else
    skins.init(&app, folder.path() + QLatin1Char('/'), QStringLiteral("Skins"), QStringLiteral("System"));
    check(skins.menu()->actions().size() == 1 && skins.skinName().isEmpty(),
          "OvSkin offers the system look alone for an empty skin folder");
#endif

    return failures == 0 ? 0 : 1;
}
