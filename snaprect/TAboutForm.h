#pragma once

#include <QDialog>

class Ui_TAboutForm;

/// The About dialog: name and version, copyright, licence, release date, the
/// site and mail addresses, and links that open the site and a new mail.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutForm(QWidget *parent = nullptr);
    ~TAboutForm() override;

    /// The generated form, for tests that look at the widgets.
    Ui_TAboutForm *form() const { return ui; }

public slots:
    /// Opens the site in the browser. \a link is not used: the address is the
    /// program's own, whatever the label's anchor says.
    void gotoSite(const QString &link);
    /// Starts a new mail to the maker's address; \a link is not used.
    void gotoMail(const QString &link);

private:
    Ui_TAboutForm *ui;
};
