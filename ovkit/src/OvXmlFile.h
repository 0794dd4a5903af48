#pragma once

#include "ovkit_export.h"

#include <QObject>

class QColor;
class QFont;
class QString;
class QXmlStreamReader;
class QXmlStreamWriter;

/// Base class for a settings document kept in an XML file.
///
/// A subclass overrides readParse() and writeParse() to read and write its own
/// elements; load() and save() open the file and run the hook on it. The class
/// itself writes nothing beyond what writeParse() writes: no document start,
/// no root element.
///
/// The value functions store an integer as an attribute, and a font or a
/// colour as an element with attributes. The read functions look only at the
/// attributes of the start element the reader stands on: they neither consume
/// nor skip it, so a reading loop calls skipCurrentElement() itself.
///
/// A writeParse() writes one complete document; the matching readParse()
/// steps onto the root with readNextStartElement(), then for each child
/// element (while readNextStartElement() is true) reads the ones it knows and
/// calls skipCurrentElement() after every one of them.
class OVKIT_EXPORT OvXmlFile : public QObject
{
    Q_OBJECT

public:
    explicit OvXmlFile(QObject *parent = nullptr);
    ~OvXmlFile() override;

    /// Opens \a fileName for reading and runs readParse() on it. When the file
    /// cannot be opened, readParse() is not called and nothing is reported.
    void load(const QString &fileName);

    /// Runs writeParse() and stores exactly what it wrote in \a fileName;
    /// returns whether it did. When the file cannot be opened for writing,
    /// writeParse() is not called. The old file is replaced only once
    /// everything was written: when a write fails (a full disk) the file keeps
    /// its previous content. A file in a folder that may not be written into
    /// is written over in place, and its previous content put back when that
    /// fails.
    bool save(const QString &fileName);

    /// Stores the attribute \a name of the reader's current start element in
    /// \a value when it is a decimal integer; otherwise \a value keeps what it
    /// held, so load it with its default first.
    void readInteger(QXmlStreamReader *reader, const QString &name, int &value);

    /// Writes the attribute \a name with \a value in decimal on the element
    /// that the writer has open.
    void writeInteger(QXmlStreamWriter *writer, const QString &name, int value);

    /// Updates \a font from the attributes of the reader's current start
    /// element, as writeFont() writes them: family, point size, style,
    /// strike-out and underline. An absent or malformed attribute leaves that
    /// property as it was.
    void readFont(QXmlStreamReader *reader, QFont &font);

    /// Writes an empty element \a name holding the family, point size, style,
    /// strike-out and underline of \a font in the attributes "字体", "大小",
    /// "风格", "删除线" and "下划线". Weight and pixel size are not stored.
    void writeFont(QXmlStreamWriter *writer, const QString &name, const QFont &font);

    /// Updates \a color from the attributes "r", "g" and "b" of the reader's
    /// current start element and makes it opaque. An absent, malformed or
    /// out-of-range component keeps its value.
    void readColor(QXmlStreamReader *reader, QColor &color);

    /// Writes an empty element \a name holding the red, green and blue of
    /// \a color in the attributes "r", "g" and "b". Alpha is not stored.
    void writeColor(QXmlStreamWriter *writer, const QString &name, const QColor &color);

protected:
    /// Reads the document; \a reader is attached to the file being loaded.
    /// The default does nothing.
    virtual void readParse(QXmlStreamReader *reader);

    /// Writes the document; \a writer is attached to the file being saved.
    /// The default does nothing, which leaves an empty file.
    virtual void writeParse(QXmlStreamWriter *writer);

private:
    QXmlStreamReader *m_reader;
    QXmlStreamWriter *m_writer;
};
