#pragma once

#include <OvXmlFile.h>

#include <QtGui>

// Settings kept as a subclass keeps them: an integer on the root, a colour and
// a font in elements of their own.
struct Settings : OvXmlFile
{
    int number = 42;
    QColor color{10, 20, 30};
    QFont font{"Start", 10};

    void readParse(QXmlStreamReader *reader) override
    {
        reader->readNextStartElement();
        readInteger(reader, "n", number);
        // Each value function looks only at attributes of its own.
        while (reader->readNextStartElement()) {
            readColor(reader, color);
            readFont(reader, font);
            reader->skipCurrentElement();
        }
    }
    void writeParse(QXmlStreamWriter *writer) override
    {
        writer->writeStartElement("s");
        writeInteger(writer, "n", number);
        writeColor(writer, "c", color);
        writeFont(writer, "f", font);
        writer->writeEndElement();
    }
    QString values() const { return QString("%1 %2 %3").arg(number).arg(color.name(QColor::HexArgb), font.toString()); }
};
