#include "NotesSettings.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

void NotesSettings::readParse(QXmlStreamReader *reader)
{
    if (!reader->readNextStartElement() || reader->name() != QLatin1String("notes"))
        return;
    recentFiles.clear();
    // Each pass reads one child of <notes>; the value functions only look at
    // the element, so every element not read as text is skipped afterwards.
    while (reader->readNextStartElement()) {
        const auto name = reader->name();
        if (name == QLatin1String("skin")) {
            skinName = reader->readElementText();
        } else if (name == QLatin1String("recent")) {
            recentFiles.append(reader->readElementText());
        } else {
            if (name == QLatin1String("font")) {
                readFont(reader, font);
            } else if (name == QLatin1String("color")) {
                readColor(reader, color);
            } else if (name == QLatin1String("window")) {
                int width = windowSize.width();
                int height = windowSize.height();
                readInteger(reader, QStringLiteral("width"), width);
                readInteger(reader, QStringLiteral("height"), height);
                windowSize = QSize(width, height);
            }
            reader->skipCurrentElement();
        }
    }
}

void NotesSettings::writeParse(QXmlStreamWriter *writer)
{
    writer->setAutoFormatting(true);
    writer->writeStartDocument();
    writer->writeStartElement(QStringLiteral("notes"));
    writeFont(writer, QStringLiteral("font"), font);
    writeColor(writer, QStringLiteral("color"), color);
    writer->writeStartElement(QStringLiteral("window"));
    writeInteger(writer, QStringLiteral("width"), windowSize.width());
    writeInteger(writer, QStringLiteral("height"), windowSize.height());
    writer->writeEndElement();
    writer->writeTextElement(QStringLiteral("skin"), skinName);
    for (const QString &file : std::as_const(recentFiles))
        writer->writeTextElement(QStringLiteral("recent"), file);
    writer->writeEndElement();
    writer->writeEndDocument();
}
