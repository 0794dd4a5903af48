#include "NotesWindow.h"

#include <OvDynamicMenu.h>
#include <OvSkin.h>

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMenuBar>
#include <QPlainTextEdit>

static const int recentFileCount = 4;

NotesWindow::NotesWindow(const QString &settingsFile, QWidget *parent)
    : QMainWindow(parent)
    , m_settingsFile(settingsFile)
    , m_editor(new QPlainTextEdit(this))
    , m_recent(new OvDynamicMenu(this))
    , m_skin(new OvSkin(this))
{
    setWindowTitle(tr("Ovkit Notes"));
    m_editor->setReadOnly(true);
    setCentralWidget(m_editor);

    m_settings.load(m_settingsFile);
    resize(m_settings.windowSize);
    applyFontAndColor();

    createFileMenu();
    createViewMenu();
    createSkinMenu();
}

void NotesWindow::createFileMenu()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(tr("&Open..."), QKeySequence::Open, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open"));
        if (!path.isEmpty())
            openFile(path);
    });

    // The host's own entries come first; the run of recent files goes below.
    QMenu *recentMenu = fileMenu->addMenu(tr("Open &Recent"));
    recentMenu->addAction(tr("&Clear List"), m_recent, &OvDynamicMenu::clear);
    recentMenu->addSeparator();
    m_recent->setMenu(recentMenu);
    m_recent->setMaxCount(recentFileCount);
    m_recent->add(m_settings.recentFiles.mid(0, recentFileCount), true, true);
    // menuClick fires for the recent files only, never for "Clear List".
    connect(m_recent, &OvDynamicMenu::menuClick, this, [this](QAction *action) { openFile(action->text()); });

    fileMenu->addSeparator();
    fileMenu->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
}

void NotesWindow::createViewMenu()
{
    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(tr("&Font..."), this, &NotesWindow::chooseFont);
    viewMenu->addAction(tr("Text &Colour..."), this, &NotesWindow::chooseColor);
}

void NotesWindow::createSkinMenu()
{
    // The skins are built beside the program; the folder must end in "/".
    const QString skinFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/skins/");
    m_skin->init(qApp, skinFolder, tr("&Skin"), tr("&System"));
    menuBar()->addMenu(m_skin->menu());
    // Connected after init(), so init's own switch to the system look does
    // not overwrite the saved name.
    connect(m_skin, &OvSkin::skinChange, this, [this](const QString &name) { m_settings.skinName = name; });
    if (!m_settings.skinName.isEmpty())
        m_skin->setSkinName(m_settings.skinName);
}

void NotesWindow::openFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    m_editor->setPlainText(QString::fromUtf8(file.readAll()));
    setWindowFilePath(path);

    // Newest on top, the oldest dropped at the cap; a file already listed
    // keeps its place.
    QStringList recent;
    m_recent->menuTextList(recent);
    if (!recent.contains(path))
        m_recent->add(path, false, true);
}

void NotesWindow::chooseFont()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, m_settings.font, this);
    if (ok) {
        m_settings.font = font;
        applyFontAndColor();
    }
}

void NotesWindow::chooseColor()
{
    const QColor color = QColorDialog::getColor(m_settings.color, this);
    if (color.isValid()) {
        m_settings.color = color;
        applyFontAndColor();
    }
}

void NotesWindow::applyFontAndColor()
{
    m_editor->setFont(m_settings.font);
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Text, m_settings.color);
    m_editor->setPalette(palette);
}

void NotesWindow::closeEvent(QCloseEvent *event)
{
    m_settings.windowSize = size();
    m_settings.recentFiles.clear();
    m_recent->menuTextList(m_settings.recentFiles);
    QDir().mkpath(QFileInfo(m_settingsFile).absolutePath());
    m_settings.save(m_settingsFile);
    event->accept();
}
