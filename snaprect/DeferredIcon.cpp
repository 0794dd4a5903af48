#include "DeferredIcon.h"

#include <QIconEngine>
#include <QImageReader>
#include <QPixmap>

#include <utility>

namespace {

class DeferredIconEngine : public QIconEngine
{
public:
    explicit DeferredIconEngine(std::function<QIcon()> make)
        : m_make(std::move(make))
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // Asked while a button's size is worked out, long before it shows.
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("deferred"); }
    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon &icon()
    {
        if (m_make)
            m_icon = std::exchange(m_make, nullptr)();
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QIcon m_icon;
};

} // namespace

QIcon deferredIcon(std::function<QIcon()> make)
{
    return QIcon(new DeferredIconEngine(std::move(make)));
}

QIcon pngIcon(const QString &fileName)
{
    return deferredIcon([fileName] {
        QImageReader reader(fileName, "png");
        reader.setAutoDetectImageFormat(false);
        return QIcon(QPixmap::fromImage(reader.read()));
    });
}
