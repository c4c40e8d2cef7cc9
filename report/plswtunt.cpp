#include "report/plswtunt.h"

#include "ui/formkit.h"

#include <QLabel>

TfrmPlsWt::TfrmPlsWt(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmPlsWt"));
    setWindowTitle(QStringLiteral("Please Wait"));
    setFixedSize(324, 88);

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
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setFont(messageFont);
    lblMsg->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblMsg->setWordWrap(true);
    lblMsg->setGeometry(8, 16, 305, 33);

    formkit::centreOnScreen(this);
}

void TfrmPlsWt::SetMessage(const QString &message)
{
    lblMsg->setText(message);
}
