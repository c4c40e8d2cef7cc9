#include "report/plswtunt.h"

#include "ui/formkit.h"

#include <QLabel>
#include <QPushButton>

using formkit::place;

TfrmPlsWt::TfrmPlsWt(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmPlsWt"));
    setWindowTitle(QStringLiteral("Please Wait"));
    setFixedSize(324, 124);

    QFont waitFont(QStringLiteral("Arial"));
    waitFont.setPixelSize(24);
    waitFont.setBold(true);
    waitFont.setItalic(true);
    lblPleaseWait = new QLabel(QStringLiteral("Please Wait ..."), this);
    lblPleaseWait->setObjectName(QStringLiteral("lblPleaseWait"));
    lblPleaseWait->setFont(waitFont);
    lblPleaseWait->move(88, 48);
    lblPleaseWait->adjustSize();

    QFont messageFont(QStringLiteral("Arial"));
    messageFont.setPixelSize(16);
    messageFont.setBold(true);
    lblMsg = place<QLabel>(this, QStringLiteral("lblMsg"), {8, 16, 305, 33});
    lblMsg->setFont(messageFont);
    lblMsg->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblMsg->setWordWrap(true);

    lblPages = place<QLabel>(this, QStringLiteral("lblPages"), {8, 90, 200, 24});
    btnCancel = place<QPushButton>(this, QStringLiteral("btnCancel"), {232, 88, 84, 28},
                                   QStringLiteral("Cancel"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

    formkit::centreOnScreen(this);
}

void TfrmPlsWt::SetPagesSoFar(int pages)
{
    lblPages->setText(pages == 1 ? QStringLiteral("1 page so far")
                                 : QStringLiteral("%1 pages so far").arg(pages));
}

void TfrmPlsWt::reject()
{
    m_cancelRequested = true;
    btnCancel->setEnabled(false);
    lblMsg->setText(QStringLiteral("Stopping ..."));
}

void TfrmPlsWt::SetMessage(const QString &message)
{
    lblMsg->setText(message);
}
