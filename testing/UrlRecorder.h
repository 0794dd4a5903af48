#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

/// Stands in for the browser and the mail program: while it lives, every URL
/// of one of \a schemes given to QDesktopServices::openUrl() is appended to
/// urls instead of being opened.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    explicit UrlRecorder(const QStringList &schemes = {"http", "https", "mailto"});
    ~UrlRecorder() override;
    Q_INVOKABLE void open(const QUrl &url) { urls.append(url); }

    QList<QUrl> urls;

private:
    const QStringList m_schemes;
};
