#include "OvXmlFile.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QSaveFile>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString fontFamilyName = QStringLiteral("字体");
const QString fontSizeName = QStringLiteral("大小");
const QString fontStyleName = QStringLiteral("风格");
const QString fontStrikeOutName = QStringLiteral("删除线");
const QString fontUnderlineName = QStringLiteral("下划线");

bool isFontStyle(int value)
{
    return value == QFont::StyleNormal || value == QFont::StyleItalic || value == QFont::StyleOblique;
}

} // namespace

OvXmlFile::OvXmlFile(QObject *parent)
    : QObject(parent)
    , m_reader(new QXmlStreamReader)
    , m_writer(new QXmlStreamWriter)
{
}

OvXmlFile::~OvXmlFile()
{
    delete m_reader;
    delete m_writer;
}

void OvXmlFile::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_reader->setDevice(&file);
    readParse(m_reader);
    m_reader->setDevice(nullptr);
}

bool OvXmlFile::save(const QString &fileName)
{
    QSaveFile file(fileName);
    QFile inPlace(fileName);
    // A file that may be written in a folder that may not is written over in
    // place (which QSaveFile's own fallback would truncate first).
    const bool replace = file.open(QIODevice::WriteOnly);
    if (!replace && !inPlace.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    // A writer keeps a half-written start tag across devices, which would
    // spoil every later save: start each save with a fresh one.
    delete m_writer;
    m_writer = new QXmlStreamWriter(&buffer);
    writeParse(m_writer);
    m_writer->setDevice(nullptr);
    if (replace) {
        // Qt 6.4's commit() renames the file into place even when flushing the
        // last buffered bytes failed (a full disk), so the flush is checked too.
        if (file.write(document) != document.size() || !file.flush())
            file.cancelWriting();
        return file.commit();
    }
    const QByteArray old = inPlace.readAll();
    if (inPlace.seek(0) && inPlace.write(document) == document.size() && inPlace.resize(document.size()))
        return true;
    inPlace.seek(0);
    inPlace.write(old);
    inPlace.resize(old.size());
    return false;
}

void OvXmlFile::readParse(QXmlStreamReader *)
{
}

void OvXmlFile::writeParse(QXmlStreamWriter *)
{
}

void OvXmlFile::readInteger(QXmlStreamReader *reader, const QString &name, int &value)
{
    bool ok = false;
    const int number = reader->attributes().value(name).toInt(&ok, 10);
    if (ok)
        value = number;
}

void OvXmlFile::writeInteger(QXmlStreamWriter *writer, const QString &name, int value)
{
    writer->writeAttribute(name, QString::number(value, 10));
}

void OvXmlFile::readFont(QXmlStreamReader *reader, QFont &font)
{
    const QString family = reader->attributes().value(fontFamilyName).toString();
    if (!family.isEmpty())
        font.setFamily(family);

    // A font sized in pixels has no point size (-1); QFont refuses sizes
    // below 1 anyway, so such a value leaves the size as it is.
    int size = font.pointSize();
    readInteger(reader, fontSizeName, size);
    if (size > 0)
        font.setPointSize(size);

    int style = font.style();
    readInteger(reader, fontStyleName, style);
    if (isFontStyle(style))
        font.setStyle(static_cast<QFont::Style>(style));

    int strikeOut = font.strikeOut() ? 1 : 0;
    readInteger(reader, fontStrikeOutName, strikeOut);
    font.setStrikeOut(strikeOut != 0);

    int underline = font.underline() ? 1 : 0;
    readInteger(reader, fontUnderlineName, underline);
    font.setUnderline(underline != 0);
}

void OvXmlFile::writeFont(QXmlStreamWriter *writer, const QString &name, const QFont &font)
{
    writer->writeStartElement(name);
    writer->writeAttribute(fontFamilyName, font.family());
    writeInteger(writer, fontSizeName, font.pointSize());
    writeInteger(writer, fontStyleName, font.style());
    writeInteger(writer, fontStrikeOutName, font.strikeOut() ? 1 : 0);
    writeInteger(writer, fontUnderlineName, font.underline() ? 1 : 0);
    writer->writeEndElement();
}

void OvXmlFile::readColor(QXmlStreamReader *reader, QColor &color)
{
    int rgb[3];
    color.getRgb(&rgb[0], &rgb[1], &rgb[2]);
    const QString names[3] = {QStringLiteral("r"), QStringLiteral("g"), QStringLiteral("b")};
    for (int i = 0; i < 3; ++i) {
        // QColor turns an out-of-range component into an invalid colour:
        // such a value counts as malformed.
        int component = rgb[i];
        readInteger(reader, names[i], component);
        if (component >= 0 && component <= 255)
            rgb[i] = component;
    }
    color.setRgb(rgb[0], rgb[1], rgb[2], 255);
}

void OvXmlFile::writeColor(QXmlStreamWriter *writer, const QString &name, const QColor &color)
{
    int red = 0;
    int green = 0;
    int blue = 0;
    color.getRgb(&red, &green, &blue);
    writer->writeStartElement(name);
    writeInteger(writer, QStringLiteral("r"), red);
    writeInteger(writer, QStringLiteral("g"), green);
    writeInteger(writer, QStringLiteral("b"), blue);
    writer->writeEndElement();
}
