#include "ModalAnswerer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

ModalAnswerer::ModalAnswerer()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer()
{
    if (!unexpected.isEmpty())
        qWarning("unexpected dialogs: %s", qPrintable(unexpected.join(QLatin1String(" | "))));
}

void ModalAnswerer::then(const Answer &answer)
{
    m_answers.append(answer);
}

void ModalAnswerer::saveAs(const QString &fileName, int filterIndex)
{
    then([fileName, filterIndex](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            qFatal("expected a file dialog, got %s", modal->metaObject()->className());
        if (filterIndex >= 0) {
            // As a user does: through the file type box, which tells the
            // dialog's owner that the filter changed.
            auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            types->setCurrentIndex(filterIndex);
            emit types->activated(filterIndex);
            emit types->textActivated(types->itemText(filterIndex));
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept() is protected
    });
}

void ModalAnswerer::cancel()
{
    then([](QWidget *modal) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
}

bool ModalAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide)
        m_answered.removeAll(static_cast<QWidget *>(watched));
    return QObject::eventFilter(watched, event);
}

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    // A dialog counts as new until answered, and again once it has been
    // hidden and shown anew (a file dialog offered again); an answered one
    // that becomes active again while a question it raised closes does not.
    if (!modal || m_answered.contains(modal) || !modal->isVisible())
        return;
    m_answered.append(modal);
    modal->installEventFilter(this);
    if (m_answers.isEmpty()) {
        // A dialog nobody expected would block the test for ever.
        unexpected.append(modal->windowTitle());
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            unexpected.last() += QLatin1String(": ") + box->text();
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    titles.append(modal->windowTitle());
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        texts.append(box->text());
    else if (auto *files = qobject_cast<QFileDialog *>(modal))
        texts.append(files->directory().absolutePath());
    else
        texts.append(QString());
    // Answered from a posted event rather than from this timer's slot: an
    // answer may open the next dialog (an overwrite question) whose own
    // event loop must still see this timer fire.
    QMetaObject::invokeMethod(this, [answer = m_answers.takeFirst(), target = QPointer<QWidget>(modal)] {
        if (target)
            answer(target);
    }, Qt::QueuedConnection);
}
