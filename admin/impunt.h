#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QMap>

class DirectoryListBox;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class RootComboBox;

// Converts the previous version's security files, found in a directory the administrator picks,
// into the open security database (CurrentAlias), with a progress line for every row.
//
// The conversion itself lives below the windows (import/), where it keeps the source and
// target tables; the dialog picks the directory, shows the progress and keeps itself usable
// while the import runs. A failure or a Cancel during the run leaves the database as it was.
class TfrmImport : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmImport(QWidget *parent = nullptr);

    DirectoryListBox *DirectoryListBox1 = nullptr;
    RootComboBox *DriveComboBox1 = nullptr;
    QLabel *lblSecStat = nullptr;
    QLabel *Label1 = nullptr;
    QListWidget *lbStatus = nullptr;
    QCheckBox *chbxSysConvert = nullptr;
    // The main feedback of a run: which old file, how many of its rows, and the summary at the
    // end; the lines in lbStatus tell every row.
    QLabel *lblProgress = nullptr;
    QProgressBar *pbImport = nullptr;
    QPushButton *btnImport = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnClose = nullptr;

    bool isImporting() const { return m_importing; }

    void DirectoryListBox1Change();
    void btnImportClick();

    // While an import runs, closing the dialog (Cancel, Escape, the close box) asks the import
    // to stop after its current row; the dialog closes once everything is rolled back.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setPickingEnabled(bool enabled);
    // Whether the administrator goes on when the database holds users or constants already.
    bool confirmAddingToExisting();
    void showRows(const QString &file, int done, int total);
    // Lets the window repaint and take clicks, at a rate the eye follows rather than per row,
    // which would spend more time painting than converting.
    void keepResponsive();

    bool m_importing = false;
    bool m_cancelRequested = false;
    QElapsedTimer m_sinceRepaint;
    QMap<QString, int> m_rowsDone; // by old file
};
