#include "admin/usgdlunt.h"

#include "admin/formstyle.h"
#include "controls/dateedit.h"
#include "reports/securityreports.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QLabel>
#include <QPushButton>

namespace {

// The date both edits hold when the dialog opens, as the form has always had it.
const QDateTime FormDate(QDate(1995, 11, 9), QTime(0, 0));

TDateEdit *dateEdit(QWidget *owner, const QString &name, int top)
{
    auto *edit = new TDateEdit(owner);
    edit->setObjectName(name);
    edit->setGeometry(84, top, 89, 20);
    edit->SetValidDateColor(Qt::blue);
    edit->SetDateValue(FormDate);
    return edit;
}

QLabel *label(QWidget *owner, const QString &name, const QString &text, int top,
              Qt::Alignment alignment)
{
    auto *label = new QLabel(text, owner);
    label->setObjectName(name);
    label->setGeometry(8, top, 72, 16);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

TFrmUsageDlg::TFrmUsageDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmUsageDlg"));
    setWindowTitle(QStringLiteral("Select Ranges"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 339, 76);

    lblStart =
        label(this, QStringLiteral("lblStart"), QStringLiteral("Start Date:"), 14, Qt::AlignLeft);
    dedStart = dateEdit(this, QStringLiteral("dedStart"), 12);
    lblStart->setBuddy(dedStart);
    lblEnd =
        label(this, QStringLiteral("lblEnd"), QStringLiteral("Ending Date:"), 44, Qt::AlignRight);
    dedEnd = dateEdit(this, QStringLiteral("dedEnd"), 42);
    lblEnd->setBuddy(dedEnd);

    bbtnOk = new QPushButton(QStringLiteral("OK"), this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setGeometry(244, 8, 87, 27);
    bbtnOk->setDefault(true);
    bbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));
    bbtnCancel->setGeometry(244, 41, 87, 27);
    connect(bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(dedStart, dedEnd);
    setTabOrder(dedEnd, bbtnOk);
    setTabOrder(bbtnOk, bbtnCancel);
    formkit::centreOnScreen(this);
}

void TFrmUsageDlg::accept()
{
    const securityreports::DayRange days{dedStart->Date(), dedEnd->Date()};
    if (const std::optional<QString> refusal = securityreports::dayRangeRefusal(days)) {
        ui::showWarning(this, *refusal);
        dedStart->setFocus(Qt::OtherFocusReason);
        dedStart->selectAll();
        return;
    }
    QDialog::accept();
}
