#include "OvSkin.h"

#include "OvResourceCheck.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QResource>

namespace {

const QString styleSheetPath = QStringLiteral(":/ov_skin/skin.qss");
const QString skinSuffix = QStringLiteral(".skin");

} // namespace

OvSkin::OvSkin(QObject *parent)
    : QObject(parent)
    , m_skinMenu(new QMenu)
    , m_actionGroup(new QActionGroup(this))
{
}

OvSkin::~OvSkin()
{
    delete m_skinMenu;
}

void OvSkin::init(QApplication *app, const QString &skinPath, const QString &menuTitle,
                  const QString &systemName)
{
    Q_ASSERT(app != NULL);
    if (!app)
        return;
    m_menuTitle = menuTitle;
    m_systemName = systemName;
    m_app = app;
    m_skinPath = skinPath;

    // Only names that end in ".skin" exactly: the file of a skin is always
    // looked up with that suffix, and file names are case-sensitive here.
    const QStringList files = QDir(m_skinPath).entryList(QStringList(QLatin1Char('*') + skinSuffix),
                                                         QDir::Files | QDir::CaseSensitive, QDir::Name);
    m_skinList.clear();
    m_skinList.append(m_systemName);
    for (const QString &file : files)
        m_skinList.append(QFileInfo(file).baseName());

    initMenu();
}

void OvSkin::setSkinName(const QString &skinName)
{
    if (!m_app)
        return;
    const QString previousFile = m_skinPath + m_skinName + skinSuffix;
    const QString newFile = m_skinPath + skinName + skinSuffix;
    m_skinName = skinName;
    QResource::unregisterResource(previousFile, QString());

    if (skinName.isEmpty()) {
        setSystemStyleSheet();
    } else {
        const QList<QAction *> actions = m_actionGroup->actions();
        for (QAction *action : actions) {
            if (action->text() == skinName) {
                setActionCheck(action, true);
                break;
            }
        }
        initStyleSheet(newFile);
    }
    emit skinChange(skinName);
}

QString OvSkin::skinName() const
{
    return m_skinName;
}

QMenu *OvSkin::menu() const
{
    return m_skinMenu;
}

void OvSkin::menuClick(QAction *action)
{
    setSkinName(action == m_systemAction ? QString() : action->text());
}

void OvSkin::initStyleSheet(const QString &fileName)
{
    // Qt checks no more than the header of a resource file, and a crafted
    // tree would crash the first look-up under ":/" in any part of the program.
    QFile skin(fileName);
    if (!skin.open(QIODevice::ReadOnly) || !ov::isResourceData(skin.readAll())
        || !QResource::registerResource(fileName, QString())) {
        setSystemStyleSheet();
        return;
    }
    // A skin without a style sheet shows the platform look, under its own name.
    QFile file(styleSheetPath);
    const QByteArray styleSheet = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    m_app->setStyleSheet(QString::fromUtf8(styleSheet));
}

void OvSkin::setSystemStyleSheet()
{
    m_app->setStyleSheet(QString());
    setActionCheck(m_systemAction, true);
}

void OvSkin::initMenu()
{
    m_skinMenu->setTitle(m_menuTitle);
    m_systemAction = m_skinMenu->addAction(m_systemName);
    m_actionGroup->addAction(m_systemAction);
    connect(m_actionGroup, &QActionGroup::triggered, this, &OvSkin::menuClick);
    for (int i = 1; i < m_skinList.size(); ++i)
        m_actionGroup->addAction(m_skinMenu->addAction(m_skinList.at(i)));
    menuClick(m_systemAction);
}

void OvSkin::setActionCheck(QAction *action, bool flag)
{
    action->setCheckable(flag);
    action->setChecked(flag);
}
