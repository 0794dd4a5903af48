#pragma once

#include "ovkit_export.h"

#include <QList>
#include <QObject>
#include <QString>

class OvAdImageData;
class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QWidget;
class QXmlStreamReader;

/// Shows a rotating series of ads on a widget.
///
/// exec() fetches the ad configuration document from m_url: XML whose root is
/// "ovk" (or carries version="1") and whose "ad" children name a picture
/// ("image_url", "image_format") and a link ("link_url"). Once the document
/// has arrived the widget is shown, every picture is downloaded, and every
/// m_interval milliseconds the next loaded picture, in document order, becomes
/// the widget's background. click() opens the link of the picture on screen.
///
/// Calling order: setWidget(), set m_url and m_interval, exec(). A document
/// that arrives while no widget is set is dropped. Pictures and links are
/// taken from http and https addresses only; relative ones are resolved
/// against the document's address. The pictures of one document decode to at
/// most OvAdImageData::maxDocumentPixels together.
class OVKIT_EXPORT OvAdHelper : public QObject
{
    Q_OBJECT

public:
    /// The largest configuration document that is read.
    static constexpr qint64 maxDocumentSize = 1024 * 1024;
    /// Entries past this many in one document are ignored.
    static constexpr int maxEntries = 100;

    explicit OvAdHelper(QObject *parent = nullptr);
    ~OvAdHelper() override;

    /// The widget to draw on (not owned, must not be null); it gets the
    /// pointing-hand cursor and keeps its visibility until a document arrives.
    /// Once its owner deletes it, the rotation stops and nothing is drawn.
    void setWidget(QWidget *widget);
    /// Requests the configuration document from m_url.
    void exec();
    /// Reads a configuration document from \a device. An accepted one replaces
    /// the entries (their downloads are not started); any other leaves them.
    void readConfig(QIODevice *device);
    /// Starts the picture download of every entry at once.
    void downloadAll();
    /// Stops the rotation on the picture shown; click() still opens its link.
    void stop();
    /// Opens the link of the picture drawn last, if it is an http or https
    /// address; does nothing before a picture of the current document is drawn.
    void click();
    /// Deletes every entry.
    void clear();

    /// The entries in rotation order, owned by the controller.
    const QList<OvAdImageData *> &images() const { return m_images; }

    QString m_url;   ///< address of the configuration document
    int m_interval;  ///< rotation period in milliseconds, read when the rotation starts

private slots:
    void downloadFinished(QNetworkReply *reply);
    void play();

private:
    /// m_current while no picture of the current entries has been drawn.
    static constexpr unsigned int noneDrawn = ~0u;

    void resolveAddresses(const QUrl &base);

    QWidget *m_widget;
    QXmlStreamReader *m_reader;
    QNetworkAccessManager *m_manager;
    QTimer *m_timer;
    QList<OvAdImageData *> m_images;
    unsigned int m_next;     ///< entry the next tick tries to show
    unsigned int m_current;  ///< entry drawn last, or noneDrawn
};
