#include "TSnapRectToolForm.h"
#include "ui_TSnapRectToolForm.h"

#include "DeferredIcon.h"
#include "MarkControls.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

namespace {

// Two sheets, the front one written on, drawn at twice the button's icon
// size so that it stays sharp on a screen scaled by two.
QIcon copyIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 80, 150);
    painter.setPen(QPen(ink, 4));
    painter.setBrush(QColor(235, 242, 252));
    painter.drawRoundedRect(QRectF(8, 4, 34, 42), 4, 4);
    painter.drawRoundedRect(QRectF(22, 18, 34, 42), 4, 4);
    painter.setPen(QPen(ink, 3));
    for (const int y : {30, 39, 48})
        painter.drawLine(30, y, 48, y);
    return QIcon(pixmap);
}

} // namespace

TSnapRectToolForm::TSnapRectToolForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_TSnapRectToolForm)
{
    ui->setupUi(this);
    m_markControls = new MarkControls(this);
    ui->verticalLayout->addWidget(m_markControls);
    ui->verticalLayout->setAlignment(ui->horizontalLayout, Qt::AlignLeft);
    m_markControls->hide();
    // Shown after the overlay's first frame, which they need not wait for.
    ui->btnSave->setIcon(pngIcon(QStringLiteral(":/image/save")));
    ui->btnCopy->setIcon(deferredIcon(copyIcon));
    ui->btnReSelect->setIcon(pngIcon(QStringLiteral(":/image/undo")));
    ui->btnFull->setIcon(pngIcon(QStringLiteral(":/image/view")));
    ui->btnExit->setIcon(pngIcon(QStringLiteral(":/image/delete")));
    // Embedded in the overlay, the toolbar would otherwise show the
    // overlay's cursor, the shape that it had at the frame or inside.
    setCursor(Qt::ArrowCursor);
    // A dialog-type window is transient for the overlay, so window managers
    // keep it above the overlay even after a click on the overlay; a plain
    // child window would sink beneath it.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::CustomizeWindowHint);

    // The keys belong to the overlay: a focused button would take Escape as
    // the start of its own handling and the arrows as focus moves.
    for (QWidget *child : findChildren<QWidget *>())
        child->setFocusPolicy(Qt::NoFocus);

    connect(ui->btnSave, &QPushButton::clicked, this, &TSnapRectToolForm::saveClick);
    connect(ui->btnCopy, &QPushButton::clicked, this, &TSnapRectToolForm::onCopy);
    connect(ui->btnReSelect, &QPushButton::clicked, this, &TSnapRectToolForm::reSelectClick);
    connect(ui->btnExit, &QPushButton::clicked, this, &TSnapRectToolForm::exitClick);
}

void TSnapRectToolForm::showMarkControls(bool shown)
{
    if (m_markControls->isVisibleTo(this) == shown)
        return;
    m_markControls->setVisible(shown);
    adjustSize();
}

TSnapRectToolForm::~TSnapRectToolForm()
{
    delete ui;
}

QAbstractButton *TSnapRectToolForm::fullScreenButton() const
{
    return ui->btnFull;
}

void TSnapRectToolForm::saveClick()
{
    emit onSave();
}

void TSnapRectToolForm::reSelectClick()
{
    emit onReSelect();
}

void TSnapRectToolForm::exitClick()
{
    emit onExit();
}

bool TSnapRectToolForm::event(QEvent *event)
{
    // The exit button's sequence is "Esc, Q": left to the shortcut map, a
    // lone Escape would wait there for its Q and do nothing. Claimed here,
    // it reaches keyPressEvent() as a plain key.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

void TSnapRectToolForm::closeEvent(QCloseEvent *event)
{
    // The window manager's close of the toolbar leaves the capture, as 退出
    // does, rather than hide the toolbar alone; the overlay closes it.
    if (event->spontaneous()) {
        event->ignore();
        QMetaObject::invokeMethod(this, &TSnapRectToolForm::exitClick, Qt::QueuedConnection);
        return;
    }
    QDialog::closeEvent(event);
}

void TSnapRectToolForm::keyPressEvent(QKeyEvent *event)
{
    // A window manager may give the toolbar the keyboard whenever it appears.
    // Its button shortcuts cover S, R and F; Q must leave the capture, as the
    // exit button says, rather than do nothing (Q alone is half of "Esc, Q").
    if (event->key() == Qt::Key_Q) {
        exitClick();
        return;
    }
    // The rest goes to the overlay: Escape, which drops a drawing tool
    // before it leaves, rather than hide the toolbar alone (QDialog's
    // Escape); Enter and Ctrl+C, which copy there, rather than click the
    // default button.
    event->ignore();
    emit otherKey(event);
    if (!event->isAccepted())
        QDialog::keyPressEvent(event);
}

void TSnapRectToolForm::keyReleaseEvent(QKeyEvent *event)
{
    event->ignore();
    emit otherKey(event);
    if (!event->isAccepted())
        QDialog::keyReleaseEvent(event);
}
