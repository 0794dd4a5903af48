#pragma once

#include "ovkit_export.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QActionGroup;
class QApplication;
class QMenu;

/// Switches an application's look between the platform's own look and a set
/// of skins.
///
/// A skin is a binary Qt resource file (made with `rcc --binary`) named
/// NAME.skin in one folder, holding the style sheet ":/ov_skin/skin.qss".
/// init() lists the folder once and fills menu() with an entry for the system
/// look followed by one checkable entry per skin; choosing an entry, or
/// calling setSkinName(), registers that skin's file, applies its style sheet
/// to the whole application and emits skinChange(). At most one skin file is
/// registered at a time. A skin that cannot be loaded falls back to the
/// system look.
class OVKIT_EXPORT OvSkin : public QObject
{
    Q_OBJECT

public:
    explicit OvSkin(QObject *parent = nullptr);
    /// Deletes the menu. The current skin stays registered and applied.
    ~OvSkin() override;

    /// Call once, right after construction. Lists the skins in \a skinPath,
    /// which is used as a plain prefix of file names and so ends with a path
    /// separator ("/usr/share/app/skins/"); builds the menu titled
    /// \a menuTitle with the system entry \a systemName first, then selects
    /// the system look (emitting skinChange() with the empty name).
    /// \a app must not be null.
    void init(QApplication *app, const QString &skinPath, const QString &menuTitle,
              const QString &systemName);

    /// Switches to the skin \a skinName, whose file is the skin folder +
    /// \a skinName + ".skin"; the empty name selects the system look. Checks
    /// the skin's menu entry if it has one and emits skinChange() with
    /// \a skinName, also when the skin could not be applied.
    void setSkinName(const QString &skinName);

    /// The name last given to setSkinName(); empty for the system look.
    QString skinName() const;

    /// The skin menu, for the host to place in its menu bar or elsewhere. It
    /// belongs to the skin manager and is deleted with it.
    QMenu *menu() const;

signals:
    /// Emitted at the end of every setSkinName() with the requested name.
    void skinChange(const QString &skinName);

private slots:
    void menuClick(QAction *action);

private:
    void initStyleSheet(const QString &fileName);
    void setSystemStyleSheet();
    void initMenu();
    void setActionCheck(QAction *action, bool flag);

    QString m_skinName;
    QString m_skinPath;
    QStringList m_skinList;
    QMenu *m_skinMenu;
    QApplication *m_app = nullptr;
    QString m_menuTitle;
    QString m_systemName;
    QAction *m_systemAction = nullptr;
    QActionGroup *m_actionGroup;
};
