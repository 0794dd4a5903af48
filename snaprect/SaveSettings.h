#pragma once

#include <OvXmlFile.h>

#include <QColor>
#include <QString>

/// What the save dialog remembers across runs: the folder of the last save
/// and the file type written there, and the last drawing colour and width,
/// in a small XML file in the user's configuration folder. A file that is missing, unreadable or malformed
/// leaves the defaults.
class SaveSettings : public OvXmlFile
{
public:
    QString folder;   ///< empty: none remembered
    int fileType = 0; ///< an index into the dialog's file types
    QColor markColour = Qt::red; ///< the last drawing colour
    int markWidth = 3;           ///< the last drawing width, in the capture's pixels

    /// Reads the user's file.
    void load();
    /// Writes the user's file; a failed write keeps the old one whole.
    bool save();

protected:
    void readParse(QXmlStreamReader *reader) override;
    void writeParse(QXmlStreamWriter *writer) override;

private:
    static QString fileName();
};
