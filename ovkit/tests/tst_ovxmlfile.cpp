#include <OvXmlFile.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <functional>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// A settings document written and read the way the base class expects of a
// subclass: one root, fonts and colours as elements, integers as attributes
// of an element of their own, text as a text element.
class TestSettings : public OvXmlFile
{
public:
    QFont font;
    QColor color;
    int width = 0;
    int height = 0;
    QString title;
    bool colorFirst = false;  // writes the colour before the font
    QByteArray raw;           // when set, writeParse writes only this
    int padding = 0;          // characters of filler text written into the document
    int readCalls = 0;
    int writeCalls = 0;

protected:
    void readParse(QXmlStreamReader *reader) override
    {
        ++readCalls;
        if (!reader->readNextStartElement() || reader->name() != QLatin1String("settings"))
            return;
        while (reader->readNextStartElement()) {
            if (reader->name() == QLatin1String("title")) {
                title = reader->readElementText();
                continue;
            }
            if (reader->name() == QLatin1String("font"))
                readFont(reader, font);
            else if (reader->name() == QLatin1String("color"))
                readColor(reader, color);
            else if (reader->name() == QLatin1String("window")) {
                readInteger(reader, QStringLiteral("width"), width);
                readInteger(reader, QStringLiteral("height"), height);
            }
            reader->skipCurrentElement();
        }
    }

    void writeParse(QXmlStreamWriter *writer) override
    {
        ++writeCalls;
        if (!raw.isEmpty()) {
            writer->device()->write(raw);
            return;
        }
        writer->setAutoFormatting(true);
        writer->writeStartDocument();
        writer->writeStartElement(QStringLiteral("settings"));
        writer->writeTextElement(QStringLiteral("title"), title);
        if (colorFirst)
            writeColor(writer, QStringLiteral("color"), color);
        writeFont(writer, QStringLiteral("font"), font);
        if (!colorFirst)
            writeColor(writer, QStringLiteral("color"), color);
        writer->writeStartElement(QStringLiteral("window"));
        writeInteger(writer, QStringLiteral("width"), width);
        writeInteger(writer, QStringLiteral("height"), height);
        writer->writeEndElement();
        if (padding > 0)
            writer->writeTextElement(QStringLiteral("padding"), QString(padding, QLatin1Char('x')));
        writer->writeEndElement();
        writer->writeEndDocument();
    }
};

// Counts the calls of its hooks, which do nothing else.
class CountingFile : public OvXmlFile
{
public:
    int readCalls = 0;
    int writeCalls = 0;

protected:
    void readParse(QXmlStreamReader *) override { ++readCalls; }
    void writeParse(QXmlStreamWriter *) override { ++writeCalls; }
};

// Reads one element with the value functions, outside any file.
class ElementReader : public OvXmlFile
{
public:
    explicit ElementReader(const QString &xml) : m_reader(xml) { m_reader.readNextStartElement(); }
    QXmlStreamReader *reader() { return &m_reader; }

private:
    QXmlStreamReader m_reader;
};

static QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

static bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Runs \a check as an ordinary user: root may open any file whatever its
// permissions. Returns whether the check held.
static bool runUnprivileged(const std::function<bool()> &check)
{
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child == 0) {
        const gid_t nogroup = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class tst_OvXmlFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void elementsFoundInEitherOrder_data();
    void elementsFoundInEitherOrder();
    void readInteger_data();
    void readInteger();
    void readFont_data();
    void readFont();
    void weightIsNotStored();
    void pixelSizedFontKeepsSizeOnReading();
    void readColor_data();
    void readColor();
    void colorWithAlphaComesBackOpaque();
    void malformedXmlKeepsValuesReadSoFar();
    void saveWritesExactlyWhatTheHookWrote();
    void unfinishedElementDoesNotLeakIntoNextSave();
    void defaultHooksLeaveAnEmptyFile();
    void unopenableFile_data();
    void unopenableFile();
    void fileWithoutPermission();
    void failedWriteKeepsOldFileAndNextSaveIsWhole_data();
    void failedWriteKeepsOldFileAndNextSaveIsWhole();
    void saveThroughSymlinkKeepsTheLink();
};

void tst_OvXmlFile::roundTrip_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("strikeOut");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("title");

    QTest::newRow("plain font, black, positive integers")
        << "DejaVu Sans" << 12 << int(QFont::StyleNormal) << false << false << QColor(0, 0, 0) << 640 << 480
        << "notes";
    QTest::newRow("italic, struck out and underlined font")
        << "DejaVu Serif" << 9 << int(QFont::StyleItalic) << true << true << QColor(255, 255, 255) << 1 << 1
        << "";
    QTest::newRow("oblique font, negative and zero integers")
        << "Liberation Mono" << 30 << int(QFont::StyleOblique) << false << true << QColor(18, 52, 86) << -5 << 0
        << "x";
    QTest::newRow("Chinese family and text")
        << "宋体" << 12 << int(QFont::StyleNormal) << true << false << QColor(200, 100, 50) << 2147483647
        << -2147483647 - 1 << "设置 & <标题>";
}

void tst_OvXmlFile::roundTrip()
{
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(int, style);
    QFETCH(bool, strikeOut);
    QFETCH(bool, underline);
    QFETCH(QColor, color);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, title);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings written;
    written.font.setFamily(family);
    written.font.setPointSize(pointSize);
    written.font.setStyle(QFont::Style(style));
    written.font.setStrikeOut(strikeOut);
    written.font.setUnderline(underline);
    written.color = color;
    written.width = width;
    written.height = height;
    written.title = title;
    written.save(path);
    QCOMPARE(written.writeCalls, 1);

    TestSettings read;
    read.load(path);
    QCOMPARE(read.readCalls, 1);
    QCOMPARE(read.font.family(), family);
    QCOMPARE(read.font.pointSize(), pointSize);
    QCOMPARE(int(read.font.style()), style);
    QCOMPARE(read.font.strikeOut(), strikeOut);
    QCOMPARE(read.font.underline(), underline);
    QCOMPARE(read.color, color);
    QCOMPARE(read.width, width);
    QCOMPARE(read.height, height);
    QCOMPARE(read.title, title);
}

void tst_OvXmlFile::elementsFoundInEitherOrder_data()
{
    QTest::addColumn<bool>("colorFirst");
    QTest::newRow("font, then colour") << false;
    QTest::newRow("colour, then font") << true;
}

void tst_OvXmlFile::elementsFoundInEitherOrder()
{
    QFETCH(bool, colorFirst);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings written;
    written.colorFirst = colorFirst;
    written.font.setPointSize(21);
    written.color = QColor(1, 2, 3);
    written.width = 7;
    written.save(path);

    TestSettings read;
    read.load(path);
    QCOMPARE(read.font.pointSize(), 21);
    QCOMPARE(read.color, QColor(1, 2, 3));
    QCOMPARE(read.width, 7);
}

void tst_OvXmlFile::readInteger_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("expected");

    // The value starts at 42 in every row.
    QTest::newRow("negative number") << "<e n='-5'/>" << -5;
    QTest::newRow("zero") << "<e n='0'/>" << 0;
    QTest::newRow("number followed by letters") << "<e n='12abc'/>" << 42;
    QTest::newRow("hexadecimal") << "<e n='0x10'/>" << 42;
    QTest::newRow("decimal fraction") << "<e n='1.5'/>" << 42;
    QTest::newRow("beyond int") << "<e n='2147483648'/>" << 42;
    QTest::newRow("empty attribute") << "<e n=''/>" << 42;
    QTest::newRow("absent attribute") << "<e m='7'/>" << 42;
    QTest::newRow("name differs in case") << "<e N='7'/>" << 42;
}

void tst_OvXmlFile::readInteger()
{
    QFETCH(QString, element);
    QFETCH(int, expected);
    ElementReader file(element);
    int value = 42;
    file.readInteger(file.reader(), QStringLiteral("n"), value);
    QCOMPARE(value, expected);
    // The reader still stands on the element.
    QVERIFY(file.reader()->isStartElement());
    QCOMPARE(file.reader()->name(), QLatin1String("e"));
}

void tst_OvXmlFile::readFont_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("strikeOut");
    QTest::addColumn<bool>("underline");

    // The font starts as "Start Family", 10 points, normal, no lines.
    QTest::newRow("all five attributes")
        << QString::fromUtf8("<f 字体='New' 大小='14' 风格='1' 删除线='1' 下划线='1'/>") << "New" << 14
        << int(QFont::StyleItalic) << true << true;
    QTest::newRow("family absent, the others applied")
        << QString::fromUtf8("<f 大小='8' 风格='2' 删除线='1' 下划线='0'/>") << "Start Family" << 8
        << int(QFont::StyleOblique) << true << false;
    QTest::newRow("family empty, the others applied")
        << QString::fromUtf8("<f 字体='' 大小='11' 风格='0' 删除线='0' 下划线='1'/>") << "Start Family" << 11
        << int(QFont::StyleNormal) << false << true;
    QTest::newRow("no attributes at all") << "<f/>" << "Start Family" << 10 << int(QFont::StyleNormal) << false
                                          << false;
    QTest::newRow("malformed numbers")
        << QString::fromUtf8("<f 大小='12pt' 风格='italic' 删除线='yes' 下划线=''/>") << "Start Family" << 10
        << int(QFont::StyleNormal) << false << false;
    QTest::newRow("size zero") << QString::fromUtf8("<f 大小='0'/>") << "Start Family" << 10
                               << int(QFont::StyleNormal) << false << false;
    QTest::newRow("style beyond the known styles") << QString::fromUtf8("<f 风格='3'/>") << "Start Family" << 10
                                                   << int(QFont::StyleNormal) << false << false;
    QTest::newRow("negative style") << QString::fromUtf8("<f 风格='-1'/>") << "Start Family" << 10
                                    << int(QFont::StyleNormal) << false << false;
    QTest::newRow("any non-zero number turns a line on")
        << QString::fromUtf8("<f 删除线='2' 下划线='-7'/>") << "Start Family" << 10 << int(QFont::StyleNormal)
        << true << true;
}

void tst_OvXmlFile::readFont()
{
    QFETCH(QString, element);
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(int, style);
    QFETCH(bool, strikeOut);
    QFETCH(bool, underline);

    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    ElementReader file(element);
    QFont font(QStringLiteral("Start Family"), 10);
    file.readFont(file.reader(), font);
    QCOMPARE(font.family(), family);
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(int(font.style()), style);
    QCOMPARE(font.strikeOut(), strikeOut);
    QCOMPARE(font.underline(), underline);
    QVERIFY(file.reader()->isStartElement());
}

void tst_OvXmlFile::weightIsNotStored()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings written;
    written.font.setBold(true);
    written.save(path);

    TestSettings read;
    read.load(path);
    QVERIFY(!read.font.bold());
}

void tst_OvXmlFile::pixelSizedFontKeepsSizeOnReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings written;
    written.font.setPixelSize(20);
    written.save(path);
    QVERIFY(fileContent(path).contains(QString::fromUtf8("大小=\"-1\"").toUtf8()));

    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    TestSettings read;
    read.font.setPointSize(13);
    read.load(path);
    QCOMPARE(read.font.pointSize(), 13);

    // A font in pixels stays in pixels when the file holds no point size.
    TestSettings pixels;
    pixels.font.setPixelSize(17);
    pixels.load(path);
    QCOMPARE(pixels.font.pixelSize(), 17);
}

void tst_OvXmlFile::readColor_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QColor>("expected");

    // The colour starts as rgba(10, 20, 30, 40).
    QTest::newRow("all three components") << "<c r='1' g='2' b='3'/>" << QColor(1, 2, 3);
    QTest::newRow("only green") << "<c g='200'/>" << QColor(10, 200, 30);
    QTest::newRow("no attributes, still made opaque") << "<c/>" << QColor(10, 20, 30);
    QTest::newRow("malformed and empty components") << "<c r='x' g='' b='5'/>" << QColor(10, 20, 5);
    QTest::newRow("components out of range") << "<c r='256' g='-1' b='255'/>" << QColor(10, 20, 255);
    QTest::newRow("alpha attribute is ignored") << "<c r='0' a='7'/>" << QColor(0, 20, 30);
}

void tst_OvXmlFile::readColor()
{
    QFETCH(QString, element);
    QFETCH(QColor, expected);
    ElementReader file(element);
    QColor color(10, 20, 30, 40);
    file.readColor(file.reader(), color);
    QVERIFY(color.isValid());
    QCOMPARE(color, expected);
    QCOMPARE(color.alpha(), 255);
}

void tst_OvXmlFile::colorWithAlphaComesBackOpaque()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings written;
    written.color = QColor(100, 150, 200, 128);
    written.save(path);
    QVERIFY(fileContent(path).contains("<color r=\"100\" g=\"150\" b=\"200\"/>"));

    TestSettings read;
    read.load(path);
    QCOMPARE(read.color, QColor(100, 150, 200, 255));
}

void tst_OvXmlFile::malformedXmlKeepsValuesReadSoFar()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    QVERIFY(writeFile(path, "<?xml version=\"1.0\"?><settings>"
                            "<window width=\"300\" height=\"200\"/>"
                            "<font 大小=\"18\"/>"
                            "<color r=\"9\" g=\"8\" b=\"7\"/"  // broken here
                            "<title>never read</title></settings>"));
    TestSettings read;
    read.color = QColor(1, 1, 1);
    read.title = QStringLiteral("before");
    read.load(path);
    QCOMPARE(read.readCalls, 1);
    QCOMPARE(read.width, 300);
    QCOMPARE(read.height, 200);
    QCOMPARE(read.font.pointSize(), 18);
    QCOMPARE(read.color, QColor(1, 1, 1));
    QCOMPARE(read.title, QStringLiteral("before"));
}

void tst_OvXmlFile::saveWritesExactlyWhatTheHookWrote()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("raw.xml"));
    QVERIFY(writeFile(path, QByteArray(1000, 'o')));
    TestSettings settings;
    settings.raw = "<a/>";
    settings.save(path);
    QCOMPARE(fileContent(path), QByteArray("<a/>"));

    // No declaration, root or indentation of the class's own.
    class OneElement : public OvXmlFile
    {
    protected:
        void writeParse(QXmlStreamWriter *writer) override
        {
            writer->writeStartElement(QStringLiteral("only"));
            writer->writeEndElement();
        }
    } oneElement;
    oneElement.save(path);
    QCOMPARE(fileContent(path), QByteArray("<only/>"));
}

void tst_OvXmlFile::unfinishedElementDoesNotLeakIntoNextSave()
{
    class Unfinished : public OvXmlFile
    {
    protected:
        void writeParse(QXmlStreamWriter *writer) override { writer->writeStartElement(QStringLiteral("open")); }
    } unfinished;
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.xml"));
    const QString second = dir.filePath(QStringLiteral("second.xml"));
    unfinished.save(first);
    unfinished.save(second);
    QCOMPARE(fileContent(first), QByteArray("<open"));
    QCOMPARE(fileContent(second), QByteArray("<open"));
}

void tst_OvXmlFile::defaultHooksLeaveAnEmptyFile()
{
    QTemporaryDir dir;
    const QString created = dir.filePath(QStringLiteral("created.xml"));
    const QString existing = dir.filePath(QStringLiteral("existing.xml"));
    QVERIFY(writeFile(existing, "<settings/>"));

    OvXmlFile file;
    file.save(created);
    file.save(existing);
    QVERIFY(QFile::exists(created));
    QCOMPARE(fileContent(created), QByteArray());
    QCOMPARE(fileContent(existing), QByteArray());
    file.load(existing);
    QCOMPARE(fileContent(existing), QByteArray());
}

void tst_OvXmlFile::unopenableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file in a missing folder") << "missing/settings.xml";
    QTest::newRow("a folder") << "folder";
}

void tst_OvXmlFile::unopenableFile()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("folder/keep.xml")), "<keep/>"));
    const QString path = dir.filePath(name);

    TestSettings settings;
    settings.width = 5;
    settings.load(path);
    QCOMPARE(settings.readCalls, 0);
    QCOMPARE(settings.width, 5);

    settings.save(path);
    QCOMPARE(settings.writeCalls, 0);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing"))));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("folder"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                         | QDir::Hidden),
             QStringList(QStringLiteral("keep.xml")));
    QCOMPARE(fileContent(dir.filePath(QStringLiteral("folder/keep.xml"))), QByteArray("<keep/>"));
}

void tst_OvXmlFile::fileWithoutPermission()
{
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::ExeOther));
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    const QByteArray old = "<settings><window width=\"9\"/></settings>";
    QVERIFY(writeFile(path, old));
    QVERIFY(QFile::setPermissions(path, QFile::Permissions()));

    const bool hooksNotCalled = runUnprivileged([&path] {
        CountingFile file;
        file.load(path);
        file.save(path);
        return file.readCalls == 0 && file.writeCalls == 0;
    });
    QVERIFY(hooksNotCalled);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(fileContent(path), old);
}

void tst_OvXmlFile::failedWriteKeepsOldFileAndNextSaveIsWhole_data()
{
    QTest::addColumn<int>("padding");
    // Past the file's write buffer the failure comes while the hook writes;
    // below it, only when the last buffered bytes are flushed.
    QTest::newRow("fails while writing") << 256 * 1024;
    QTest::newRow("fails on the final flush") << 6000;
}

void tst_OvXmlFile::failedWriteKeepsOldFileAndNextSaveIsWhole()
{
    QFETCH(int, padding);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.xml"));
    TestSettings settings;
    settings.width = 1;
    settings.save(path);
    const QByteArray old = fileContent(path);
    QVERIFY(old.contains("width=\"1\""));

    // A file-size limit makes writes fail as a full disk does.
    settings.width = 2;
    settings.padding = padding;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit limit = previousLimit;
    limit.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    settings.save(path);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(settings.writeCalls, 2);
    QCOMPARE(fileContent(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("settings.xml")));

    settings.width = 3;
    settings.padding = 0;
    settings.save(path);
    QByteArray expected = old;
    expected.replace("width=\"1\"", "width=\"3\"");
    QCOMPARE(fileContent(path), expected);
}

void tst_OvXmlFile::saveThroughSymlinkKeepsTheLink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.xml"));
    const QString link = dir.filePath(QStringLiteral("link.xml"));
    QVERIFY(writeFile(target, "<old/>"));
    QVERIFY(QFile::link(target, link));

    TestSettings settings;
    settings.raw = "<new/>";
    settings.save(link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(fileContent(target), QByteArray("<new/>"));
}

QTEST_MAIN(tst_OvXmlFile)
#include "tst_ovxmlfile.moc"
