#pragma once

#include <QFont>
#include <QString>

// The program's names, version, addresses and font. Built before main() runs,
// each derived address after the constants it is made from.

extern const QString appTitle;      ///< display name, "Framzel"
extern const QString productId;     ///< identifier sent to the maker's services
extern const QString appVersion;    ///< "V2.0.0"
extern const QString appDate;       ///< release date, also the version the update check reports
extern const QString siteUrl;       ///< the maker's site, ending in '/'
extern const QString mailAddress;
extern const QString adConfigUrl;   ///< siteUrl + "ad/ad_cfg_1.php?id=" + productId
extern const QString mailUrl;       ///< "mailto:" + mailAddress
extern const QString updateUrl;     ///< siteUrl + "ver.php"
extern const QString updateId;
extern const QString updateVersion;
extern const QString homeUrl;
extern const QFont appFont;         ///< "宋体", 12 points
