#pragma once

#include <OvXmlFile.h>

#include <QString>

/// What the save dialog remembers across runs: the folder of the last save
/// and the file type written there, in a small XML file in the user's
/// configuration folder. A file that is missing, unreadable or malformed
/// leaves the defaults.
class SaveSettings : public OvXmlFile
{
public:
    QString folder;   ///< empty: none remembered
    int fileType = 0; ///< an index into the dialog's file types

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
