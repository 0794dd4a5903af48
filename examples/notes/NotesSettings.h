#pragma once

#include <OvXmlFile.h>

#include <QColor>
#include <QFont>
#include <QSize>
#include <QStringList>

// The notes window's settings, kept in an XML file:
//
//   <notes>
//     <font 字体="DejaVu Sans" 大小="11" 风格="0" 删除线="0" 下划线="0"/>
//     <color r="0" g="0" b="0"/>
//     <window width="480" height="320"/>
//     <skin>Blue</skin>
//     <recent>/home/me/todo.txt</recent>
//   </notes>
//
// load() leaves every value that the file lacks at its default.
class NotesSettings : public OvXmlFile
{
public:
    QFont font;
    QColor color = Qt::black;
    QSize windowSize{480, 320};
    QString skinName;
    QStringList recentFiles;  // newest first

protected:
    void readParse(QXmlStreamReader *reader) override;
    void writeParse(QXmlStreamWriter *writer) override;
};
