#pragma once

#include "ovkit_export.h"

#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;

/// Asks a version service whether a newer release of a product exists.
///
/// Each exec() sends one HTTP GET; each finished request emits update() once,
/// in the order the replies finish. Only a successful reply whose body is the
/// text "1" means a newer release; every failure is reported, silently, as
/// update(false). Connect update() before calling exec().
class OVKIT_EXPORT OvCheckUpdate : public QObject
{
    Q_OBJECT

public:
    /// The longest reply body that is looked at; a longer one means no update
    /// and is cut off as soon as it passes this size.
    static constexpr qint64 maxReplySize = 16;

    explicit OvCheckUpdate(QObject *parent = nullptr);
    ~OvCheckUpdate() override;

    /// Sends url + "?id=" + id + "&&ver=" + ver, as it stands (nothing is
    /// escaped; the doubled ampersand is what the service expects). Returns at
    /// once; the answer comes through update().
    void exec(const QString &url, const QString &id, const QString &ver);

signals:
    /// true when the service reported a newer release, false otherwise.
    void update(bool);

private slots:
    void downloadFinished(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_manager;
};
