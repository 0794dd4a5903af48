#include "OvAdHelper.h"

#include "OvAdImageData.h"
#include "OvNetworkLimits.h"
#include "OvUtils.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QXmlStreamReader>

OvAdHelper::OvAdHelper(QObject *parent)
    : QObject(parent)
    , m_interval(2000)
    , m_widget(nullptr)
    , m_reader(new QXmlStreamReader)
    , m_manager(new QNetworkAccessManager(this))
    , m_timer(new QTimer)
    , m_next(0)
    , m_current(noneDrawn)
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &OvAdHelper::downloadFinished);
    connect(m_timer, &QTimer::timeout, this, &OvAdHelper::play);
}

OvAdHelper::~OvAdHelper()
{
    qDeleteAll(m_images);
    delete m_manager;
    delete m_reader;
    delete m_timer;
}

void OvAdHelper::setWidget(QWidget *widget)
{
    if (m_widget)
        disconnect(m_widget, &QObject::destroyed, this, nullptr);
    m_widget = widget;
    if (!m_widget)
        return;
    m_widget->setCursor(Qt::PointingHandCursor);
    // The widget is not ours: once its owner deletes it, nothing is drawn any more.
    connect(m_widget, &QObject::destroyed, this, [this] {
        m_widget = nullptr;
        m_timer->stop();
    });
}

void OvAdHelper::exec()
{
    QNetworkReply *reply = m_manager->get(QNetworkRequest(QUrl(m_url)));
    ov::limitReplySize(reply, maxDocumentSize);
}

void OvAdHelper::downloadFinished(QNetworkReply *reply)
{
    // Without a widget (never set, or deleted) the document is dropped.
    if (m_widget && reply->error() == QNetworkReply::NoError && reply->bytesAvailable() <= maxDocumentSize) {
        readConfig(reply);
        resolveAddresses(reply->url());
        downloadAll();
        m_next = 0;
        m_timer->stop();
        m_widget->setVisible(true);
        m_timer->start(m_interval);
    }
    reply->deleteLater();
}

void OvAdHelper::readConfig(QIODevice *device)
{
    m_reader->setDevice(device);
    // Without a first element the reader may still hold the name of the
    // previous document's root, so only a start element is judged.
    const bool accepted = m_reader->readNextStartElement()
        && (m_reader->name() == QLatin1String("ovk")
            || m_reader->attributes().value(QLatin1String("version")) == QLatin1String("1"));
    if (!accepted) {
        m_reader->setDevice(nullptr);
        return;
    }

    clear();
    OvAdData data;
    // Stops at the root's end tag, at the end of the data and at the first
    // XML error; entries read before an error stay.
    while (m_reader->readNextStartElement()) {
        if (m_reader->name() == QLatin1String("ad") && m_images.size() < maxEntries) {
            // The pictures of one document share one pixel budget through their parent.
            auto *image = new OvAdImageData(this);
            const QXmlStreamAttributes attributes = m_reader->attributes();
            data.imageUrl = attributes.value(QLatin1String("image_url")).toString();
            data.imageFormat = attributes.value(QLatin1String("image_format")).toString();
            data.fileName = attributes.value(QLatin1String("file_name")).toString();
            data.linkUrl = attributes.value(QLatin1String("link_url")).toString();
            data.text = attributes.value(QLatin1String("text")).toString();
            image->m_data = data;
            m_images.append(image);
        }
        m_reader->skipCurrentElement();
    }
    m_reader->setDevice(nullptr);
}

void OvAdHelper::resolveAddresses(const QUrl &base)
{
    // Lets a site list its pictures and pages relative to the document, as a
    // browser would; absolute addresses stay exactly as written.
    const auto resolve = [&base](QString &address) {
        const QUrl url(address);
        if (!address.isEmpty() && url.isRelative())
            address = base.resolved(url).toString();
    };
    for (OvAdImageData *image : std::as_const(m_images)) {
        resolve(image->m_data.imageUrl);
        resolve(image->m_data.linkUrl);
    }
}

void OvAdHelper::downloadAll()
{
    for (OvAdImageData *image : std::as_const(m_images))
        image->exec();
}

void OvAdHelper::play()
{
    if (!m_widget || m_images.isEmpty())
        return;
    unsigned int i = m_next;
    if (i >= static_cast<unsigned int>(m_images.size()))
        i = m_next = 0;
    const OvAdImageData *image = m_images.at(i);
    if (image->m_loaded) {
        ov::drawImage(m_widget, image->m_pixmap, m_widget->size());
        m_current = i;
    }
    m_next = i + 1;
}

void OvAdHelper::stop()
{
    m_timer->stop();
}

void OvAdHelper::click()
{
    if (m_current >= static_cast<unsigned int>(m_images.size()))
        return;
    const QString &link = m_images.at(m_current)->m_data.linkUrl;
    // The link comes from a document off the network: only web pages are
    // handed to the desktop, never files or other programs' schemes.
    if (ov::isWebUrl(QUrl(link)))
        ov::openUrl(link);
}

void OvAdHelper::clear()
{
    qDeleteAll(m_images);
    m_images.clear();
    m_current = noneDrawn;
}
