#pragma once

#include "ovkit_export.h"

#include <QObject>
#include <QPixmap>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

/// One entry of an ad configuration document: the values of the attributes of
/// its "ad" element, empty where an attribute is missing.
struct OVKIT_EXPORT OvAdData
{
    QString imageUrl;    ///< "image_url": the picture, fetched with HTTP GET
    QString imageFormat; ///< "image_format": decoder format name; empty lets the data tell
    QString fileName;    ///< "file_name": carried, not used
    QString linkUrl;     ///< "link_url": opened when the picture is clicked
    QString text;        ///< "text": carried, not used
};

/// One ad entry and its picture. exec() downloads and decodes the picture in
/// the background; the owner polls m_loaded, nobody is signalled.
///
/// Only http and https pictures are fetched, and a body longer than
/// maxImageSize is cut off and dropped. A picture is decoded only when its
/// header promises at most maxImagePixels, and only as long as the pictures
/// that share its parent (those of one ad document) hold at most
/// maxDocumentPixels together; any other counts as failed.
class OVKIT_EXPORT OvAdImageData : public QObject
{
    Q_OBJECT

public:
    /// The largest picture body that is accepted.
    static constexpr qint64 maxImageSize = 4 * 1024 * 1024;
    /// The most pixels that one picture may decode to: far more than an ad
    /// panel shows, far less than a crafted picture may claim.
    static constexpr qint64 maxImagePixels = 4 * 1024 * 1024;
    /// The most pixels that the pictures sharing one parent hold together.
    static constexpr qint64 maxDocumentPixels = 4 * maxImagePixels;

    explicit OvAdImageData(QObject *parent = nullptr);
    ~OvAdImageData() override;

    /// Starts a download of m_data.imageUrl; each call sends a new request.
    /// An address other than http or https is not fetched.
    void exec();

    QPixmap m_pixmap;                  ///< the decoded picture; meaningful only while m_loaded
    OvAdData m_data;                   ///< the entry's attribute values
    QNetworkAccessManager *m_manager;  ///< this entry's own network access
    bool m_loaded;                     ///< a download arrived without error and was decoded

private slots:
    void downloadFinished(QNetworkReply *reply);
};
