#include "admin/pickdlg.h"

#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "ui/helpkey.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using formkit::place;

namespace {

// The index chosen by the OK handler, held from the click until PickFromList returns.
int pickedIndex = -1;

} // namespace

TfrmPickList::TfrmPickList(QWidget *parent) : QDialog(parent)
{
    ui::installHelpKey(this, QStringLiteral("opendatabase.html"));
    setObjectName(QStringLiteral("frmPickList"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 327, 129);

    lblLabel = place<QLabel>(this, QStringLiteral("lblLabel"), {8, 6, 209, 16});

    lboxList = place<QListWidget>(this, QStringLiteral("lboxList"), {8, 24, 209, 97});
    // Named after the label once PickFromList has set its text.
    lboxList->setAccessibleName(QStringLiteral("Choices"));
    lblLabel->setBuddy(lboxList);

    bbtnOk =
        place<QPushButton>(this, QStringLiteral("bbtnOk"), {232, 24, 87, 27}, QStringLiteral("Ok"));
    bbtnOk->setDefault(true);

    bbtnCancel = place<QPushButton>(this, QStringLiteral("bbtnCancel"), {232, 60, 87, 27},
                                    QStringLiteral("Cancel"));

    connect(bbtnOk, &QPushButton::clicked, this, &TfrmPickList::bbtnOkClick);
    connect(lboxList, &QListWidget::itemDoubleClicked, this, &TfrmPickList::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPickList::bbtnOkClick()
{
    // A current row without a selection is only the keyboard focus; it chooses nothing.
    const QListWidgetItem *selected =
        lboxList->selectedItems().isEmpty() ? nullptr : lboxList->selectedItems().first();
    pickedIndex = selected ? lboxList->row(selected) : -1;
    accept();
}

int PickFromList(const QString &labelText, const QString &caption, const QStringList &strings,
                 QWidget *parent, int current)
{
    auto *dialog = new TfrmPickList(parent);
    dialog->lblLabel->setText(labelText);
    dialog->lboxList->setAccessibleName(formkit::accessibleText(labelText));
    dialog->setWindowTitle(caption);
    dialog->lboxList->addItems(strings);
    // The line that shows highlighted is the chosen one: the first, until the user picks
    // another, so that OK or Enter at once takes what is seen.
    if (!strings.isEmpty())
        dialog->lboxList->setCurrentRow(0);
    // The string in use now (the open database) starts highlighted, in bold.
    if (current >= 0 && current < strings.size()) {
        QListWidgetItem *item = dialog->lboxList->item(current);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        dialog->lboxList->setCurrentRow(current);
    }
    pickedIndex = -1;
    const int result = dialog->exec() == QDialog::Accepted ? pickedIndex : -1;
    delete dialog;
    return result;
}
