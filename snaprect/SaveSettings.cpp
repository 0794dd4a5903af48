#include "SaveSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

QString SaveSettings::fileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/save.xml");
}

void SaveSettings::load()
{
    OvXmlFile::load(fileName());
}

bool SaveSettings::save()
{
    const QString file = fileName();
    return QDir().mkpath(QFileInfo(file).path()) && OvXmlFile::save(file);
}

void SaveSettings::readParse(QXmlStreamReader *reader)
{
    if (!reader->readNextStartElement() || reader->name() != QLatin1String("snaprect"))
        return;
    while (reader->readNextStartElement()) {
        if (reader->name() == QLatin1String("save")) {
            folder = reader->attributes().value(QLatin1String("folder")).toString();
            readInteger(reader, QStringLiteral("type"), fileType);
        } else if (reader->name() == QLatin1String("mark")) {
            readColor(reader, markColour);
            readInteger(reader, QStringLiteral("width"), markWidth);
        }
        reader->skipCurrentElement();
    }
    // A document cut short or garbled anywhere counts as none at all.
    while (!reader->atEnd())
        reader->readNext();
    if (reader->hasError()) {
        folder.clear();
        fileType = 0;
        markColour = Qt::red;
        markWidth = 3;
    }
}

void SaveSettings::writeParse(QXmlStreamWriter *writer)
{
    writer->setAutoFormatting(true);
    writer->writeStartDocument();
    writer->writeStartElement(QStringLiteral("snaprect"));
    writer->writeStartElement(QStringLiteral("save"));
    writer->writeAttribute(QStringLiteral("folder"), folder);
    writeInteger(writer, QStringLiteral("type"), fileType);
    writer->writeEndElement();
    writer->writeStartElement(QStringLiteral("mark"));
    writeInteger(writer, QStringLiteral("r"), markColour.red());
    writeInteger(writer, QStringLiteral("g"), markColour.green());
    writeInteger(writer, QStringLiteral("b"), markColour.blue());
    writeInteger(writer, QStringLiteral("width"), markWidth);
    writer->writeEndElement();
    writer->writeEndElement();
    writer->writeEndDocument();
}
