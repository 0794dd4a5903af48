#include "ModalAnswerer.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

ModalAnswerer::ModalAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start(10);
}

void ModalAnswerer::saveAs(const QString &fileName, int filterIndex)
{
    then([fileName, filterIndex](QWidget *modal) {
        if (filterIndex >= 0) {
            // Through the file type box, as a user does, so that the dialog
            // tells its owner of the change.
            auto *types = modal->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            types->setCurrentIndex(filterIndex);
            emit types->textActivated(types->itemText(filterIndex));
        }
        modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        static_cast<QDialog *>(modal)->accept(); // QFileDialog::accept() is protected
    });
}

void ModalAnswerer::cancel()
{
    then([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
}

bool ModalAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide)
        m_answered.removeAll(static_cast<QWidget *>(watched));
    return false;
}

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || m_answered.contains(modal) || !modal->isVisible())
        return;
    m_answered.append(modal);
    modal->installEventFilter(this);
    auto *box = qobject_cast<QMessageBox *>(modal);
    texts.append(box ? box->text() : modal->windowTitle());
    if (m_answers.isEmpty()) {
        texts.last().prepend(QLatin1String("unexpected: "));
        m_answers.append([](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    }
    // Answered from the event loop rather than from this timer's slot: an
    // answer may open the next dialog, whose own event loop must still see
    // this timer fire.
    QMetaObject::invokeMethod(this, [answer = m_answers.takeFirst(), target = QPointer<QWidget>(modal)] {
        if (target)
            answer(target);
    }, Qt::QueuedConnection);
}
