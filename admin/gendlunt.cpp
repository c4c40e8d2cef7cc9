#include "admin/gendlunt.h"

#include "admin/filebrowsers.h"
#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

bool namesCppHeader(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("h") || suffix == QLatin1String("hpp") ||
           suffix == QLatin1String("hh") || suffix == QLatin1String("hxx");
}

bool namesPascalFile(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("pas") || suffix == QLatin1String("inc");
}

} // namespace

TfrmGenerate::TfrmGenerate(QWidget *parent) : QDialog(parent)
{
    ui::installHelpKey(this, QStringLiteral("generate.html"));
    setObjectName(QStringLiteral("frmGenerate"));
    setWindowTitle(QStringLiteral("Generate Constants"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 338, 306);

    using formkit::place;
    rgrpGen = place<formkit::RadioGroup>(
        this, QStringLiteral("rgrpGen"), {8, 4, 222, 112}, QStringLiteral("Output Location:"),
        QStringList{QStringLiteral("Windows Clipboard"), QStringLiteral("Pascal Include File"),
                    QStringLiteral("C++ Header File"), QStringLiteral("Clipboard as C++")});
    const formkit::OkCancel buttons =
        formkit::placeOkCancel(this, QStringLiteral("bbtnOk"), {244, 12, 86, 27},
                               QStringLiteral("bbtnCancel"), {244, 46, 86, 27});
    bbtnOk = buttons.ok;
    bbtnCancel = buttons.cancel;

    buildFileControls();
}

void TfrmGenerate::buildFileControls()
{
    using formkit::place;
    edFile = place<QLineEdit>(this, QStringLiteral("edFile"), {8, 122, 150, 24},
                              QStringLiteral("*.pas"));
    edFile->setAccessibleName(QStringLiteral("File name"));
    FileListBox1 = place<FileListBox>(this, QStringLiteral("FileListBox1"), {8, 150, 150, 118});
    FileListBox1->setAccessibleName(QStringLiteral("Files"));
    FileListBox1->setMask(QStringLiteral("*.pas"));
    FilterComboBox1 = place<QComboBox>(this, QStringLiteral("FilterComboBox1"), {8, 274, 150, 24});
    FilterComboBox1->addItem(QStringLiteral("Pascal files (*.pas)"), QStringLiteral("*.pas"));
    FilterComboBox1->addItem(QStringLiteral("C++ header files (*.h)"), QStringLiteral("*.h"));
    FilterComboBox1->addItem(QStringLiteral("All files (*.*)"), QStringLiteral("*.*"));

    Panel1 = place<QFrame>(this, QStringLiteral("Panel1"), {166, 122, 164, 24});
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblDir = new QLabel(Panel1);
    lblDir->setObjectName(QStringLiteral("lblDir"));
    // A deep directory shows its end, where the folder names that matter are.
    lblDir->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(3, 0, 3, 0);
    panelLayout->addWidget(lblDir);

    DirectoryListBox1 =
        place<DirectoryListBox>(this, QStringLiteral("DirectoryListBox1"), {166, 150, 164, 118});
    DirectoryListBox1->setAccessibleName(QStringLiteral("Folders"));
    DriveComboBox1 =
        place<RootComboBox>(this, QStringLiteral("DriveComboBox1"), {166, 274, 164, 24});

    connect(DriveComboBox1, &RootComboBox::rootChosen, DirectoryListBox1,
            &DirectoryListBox::setDirectory);
    connect(DirectoryListBox1, &DirectoryListBox::directoryChanged, this,
            [this](const QString &dir) {
                FileListBox1->setDirectory(dir);
                DriveComboBox1->showRootOf(dir);
                lblDir->setText(
                    lblDir->fontMetrics().elidedText(dir, Qt::ElideLeft, Panel1->width() - 8));
                lblDir->setToolTip(dir);
            });
    connect(FilterComboBox1, &QComboBox::activated, this, [this](int index) {
        const QString mask = FilterComboBox1->itemData(index).toString();
        FileListBox1->setMask(mask);
        edFile->setText(mask);
    });
    connect(FileListBox1, &FileListBox::fileChosen, edFile, &QLineEdit::setText);
    // Connected after the start text is in place, so the clipboard stays the start choice.
    connect(edFile, &QLineEdit::textChanged, this, &TfrmGenerate::edFileChange);

    DirectoryListBox1->setDirectory(QDir::currentPath());
}

TfrmGenerate::Destination TfrmGenerate::destination() const
{
    return static_cast<Destination>(rgrpGen->itemIndex());
}

QString TfrmGenerate::outputPath() const
{
    QString path = DirectoryListBox1->directory();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + edFile->text();
}

void TfrmGenerate::edFileChange()
{
    // A file name means a file destination. Which one follows the name's extension; a name that
    // shows neither keeps the file destination already chosen, and turns the clipboard into the
    // Pascal include file.
    const QString name = edFile->text();
    if (namesCppHeader(name))
        rgrpGen->setItemIndex(CppHeaderFile);
    else if (namesPascalFile(name) || destination() == Clipboard ||
             destination() == CppClipboard)
        rgrpGen->setItemIndex(PascalIncludeFile);
}

void TfrmGenerate::FormCloseQuery(bool &canClose)
{
    canClose = true;
    if (destination() == Clipboard || destination() == CppClipboard)
        return;
    const QString path = outputPath();
    if (path.contains(QLatin1Char('*'))) {
        ui::showError(this, QStringLiteral("Invalid file name."));
        canClose = false;
        return;
    }
    const QFileInfo file(path);
    if (file.exists() && !file.isDir())
        canClose = ui::askYesNo(this, QStringLiteral("File Exists. Overite?"));
}

void TfrmGenerate::done(int result)
{
    if (result == QDialog::Accepted) {
        bool canClose = true;
        FormCloseQuery(canClose);
        if (!canClose)
            return;
    }
    QDialog::done(result);
}
