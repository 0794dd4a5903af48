// Someone else's program: a subclass of an exported class, whose vtable and
// type information cross the library's boundary, called back by the library
// (load() parses any file that opens, here the program itself); and an
// exported free function. Exits 0 when both work.
#include <OvUtils.h>
#include <OvXmlFile.h>

#include <QByteArray>
#include <QString>

class Settings : public OvXmlFile
{
public:
    bool parsed = false;

protected:
    void readParse(QXmlStreamReader *) override { parsed = true; }
    void writeParse(QXmlStreamWriter *) override {}
};

int main(int, char *argv[])
{
    Settings settings;
    settings.load(QString::fromLocal8Bit(argv[0]));
    return settings.parsed && ov::textFileCodec("\xEF\xBB\xBF") == ov::Utf8ByteOrderMark ? 0 : 1;
}
