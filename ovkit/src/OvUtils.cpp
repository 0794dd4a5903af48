#include "OvUtils.h"

#include <QBrush>
#include <QByteArray>
#include <QDesktopServices>
#include <QPalette>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QUrl>
#include <QWidget>

namespace ov {

int textFileCodec(const QByteArray &data)
{
    if (data.size() <= 1)
        return NoByteOrderMark;
    const auto byteAt = [&data](int i) { return static_cast<unsigned char>(data.at(i)); };
    if (byteAt(0) == 0xFF && byteAt(1) == 0xFE)
        return Utf16LittleEndianByteOrderMark;
    if (byteAt(0) == 0xFE && byteAt(1) == 0xFF)
        return Utf16BigEndianByteOrderMark;
    if (data.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        return Utf8ByteOrderMark;
    return NoByteOrderMark;
}

void openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

void moveCenter(QWidget *widget, QWidget *reference)
{
    // C++ integer division truncates toward zero, as the placement promises.
    const int x = (reference->width() - widget->width()) / 2;
    const int y = (reference->height() - widget->height()) / 2;
    widget->move(QPoint(x, y));
}

void moveCenter(QWidget *widget, const QRect &area)
{
    const int x = (area.width() - widget->width()) / 2;
    const int y = (area.height() - widget->height()) / 2;
    widget->move(area.topLeft() + QPoint(x, y));
}

void drawImage(QWidget *widget, const QPixmap &pixmap, const QSize &size)
{
    QPalette palette;
    const QPixmap scaled = pixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    palette.setBrush(QPalette::All, widget->backgroundRole(), QBrush(scaled));
    widget->setAutoFillBackground(true);
    widget->setPalette(palette);
}

} // namespace ov
