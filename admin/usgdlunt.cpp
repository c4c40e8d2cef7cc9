#include "admin/usgdlunt.h"

#include "admin/formstyle.h"
#include "controls/dateedit.h"
#include "reports/securityreports.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QLabel>
#include <QPushButton>

using formkit::place;

namespace {

// The date both edits hold when the dialog opens, as the form has always had it.
const QDateTime FormDate(QDate(1995, 11, 9), QTime(0, 0));

TDateEdit *dateEdit(QWidget *owner, const QString &name, int top)
{
    auto *edit = place<TDateEdit>(owner, name, {84, top, 89, 20});
    edit->SetValidDateColor(Qt::blue);
    edit->SetDateValue(FormDate);
    return edit;
}

QLabel *label(QWidget *owner, const QString &name, const QString &text, int top,
              Qt::Alignment alignment)
{
    auto *label = place<QLabel>(owner, name, {8, top, 72, 16}, text);
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

    const formkit::OkCancel buttons =
        formkit::placeOkCancel(this, QStringLiteral("bbtnOk"), {244, 8, 87, 27},
                               QStringLiteral("bbtnCancel"), {244, 41, 87, 27});
    bbtnOk = buttons.ok;
    bbtnCancel = buttons.cancel;

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
