#pragma once

#include <QDialog>

class DirectoryListBox;
class FileListBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class RootComboBox;
namespace formkit {
class RadioGroup;
}

// Chooses where the access-constant declarations go: the clipboard, a Pascal include file or
// a C++ header.
class TfrmGenerate : public QDialog
{
    Q_OBJECT

public:
    // The items of rgrpGen, by index.
    enum Destination {
        Clipboard = 0,
        PascalIncludeFile = 1,
        CppHeaderFile = 2,
        CppClipboard = 3, // the C++ declarations to the clipboard, beside the Pascal ones
    };

    explicit TfrmGenerate(QWidget *parent = nullptr);

    formkit::RadioGroup *rgrpGen = nullptr;
    QLineEdit *edFile = nullptr;
    FileListBox *FileListBox1 = nullptr;
    QComboBox *FilterComboBox1 = nullptr;
    DirectoryListBox *DirectoryListBox1 = nullptr;
    RootComboBox *DriveComboBox1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *lblDir = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

    Destination destination() const;
    // The directory of the directory list, a separator and the file name as typed.
    QString outputPath() const;

    void edFileChange();
    void FormCloseQuery(bool &canClose);

    void done(int result) override;

private:
    void buildFileControls();
};
