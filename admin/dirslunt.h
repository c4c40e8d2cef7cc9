#pragma once

#include <QDialog>

namespace security {
struct DatabasePlace;
}

class DirectoryListBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RootComboBox;

// Collects the directory, the alias and the master password of a security database about to be
// created. Choosing an existing alias freezes the directory part, which then plays no part.
class TFormOpenSecurity : public QDialog
{
    Q_OBJECT

public:
    explicit TFormOpenSecurity(QWidget *parent = nullptr);

    QGroupBox *grpDirectory = nullptr;
    DirectoryListBox *dlbDirectory = nullptr;
    RootComboBox *dcxDrives = nullptr;
    QLabel *lblCreate = nullptr;
    QLineEdit *edDir = nullptr;
    QPushButton *btnCreateDir = nullptr;
    QGroupBox *grpAlias = nullptr;
    QLabel *lblAliasNote = nullptr;
    QComboBox *cmboxAlias = nullptr;
    QGroupBox *grpPassword = nullptr;
    QLineEdit *edPassword = nullptr;
    // The master password typed a second time: one typo would lock the database for good.
    QLabel *lblConfirm = nullptr;
    QLineEdit *edConfirm = nullptr;
    QLabel *lblPassNote = nullptr;
    // Checked: the tables go into a schema on a PostgreSQL server instead of the directory.
    QGroupBox *grpServer = nullptr;
    QLineEdit *edConnection = nullptr;
    QLineEdit *edSchema = nullptr;
    QPushButton *bbnOk = nullptr;
    QPushButton *bbnCancel = nullptr;

    // The index of the alias entry chosen from the list; -1 while the text is a typed name.
    int aliasItemIndex() const { return m_aliasIndex; }
    // Where a typed alias is to put its tables: the directory shown, or the server given.
    security::DatabasePlace place() const;

    void FormShow();
    void cmboxAliasChange();
    void btnCreateDirClick();
    void FormCloseQuery(bool &canClose);

    void done(int result) override;

    // Where the directory list starts: the user's documents folder, else the home folder.
    static QString startDirectory();

protected:
    void showEvent(QShowEvent *event) override;
    // Enter in the new-directory box creates the directory and moves into it, rather than
    // pressing OK and creating the tables in the directory shown.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildDirectoryGroup();
    void buildAliasGroup();
    void buildPasswordGroup();
    void buildServerGroup();
    bool typedNameOnServer() const;

    int m_aliasIndex = -1;
    bool m_shown = false;
};
