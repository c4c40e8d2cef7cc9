#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

// A list of strings to choose one from, with OK and Cancel. A double click chooses at once.
class TfrmPickList : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPickList(QWidget *parent = nullptr);

    QLabel *lblLabel = nullptr;
    QListWidget *lboxList = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

    void bbtnOkClick();
};

// Shows the strings under the label text in a dialog with that caption. Answers the index of the
// chosen string, or -1 when the dialog was cancelled or OK was pressed with nothing selected.
// The string at `current`, the one in use now, starts highlighted.
int PickFromList(const QString &labelText, const QString &caption, const QStringList &strings,
                 QWidget *parent = nullptr, int current = -1);
