#include "ui/messages.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace ui {

namespace {

MessageHandler &handler()
{
    static MessageHandler instance;
    return instance;
}

QString defaultCaption(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Warning:
        return QStringLiteral("Warning");
    case MessageKind::Information:
        return QStringLiteral("Information");
    case MessageKind::Confirmation:
        return QStringLiteral("Confirm");
    case MessageKind::Input:
        break;
    }
    return QApplication::applicationDisplayName();
}

MessageReply showReal(QWidget *parent, const MessageRequest &request)
{
    if (request.kind == MessageKind::Input) {
        bool ok = false;
        const QString typed = QInputDialog::getText(parent, request.caption, request.text,
                                                    QLineEdit::Normal, request.value, &ok);
        return {ok, ok ? typed : request.value};
    }
    QMessageBox box(parent);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.kind) {
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return {box.exec() == QMessageBox::Yes, {}};
    case MessageKind::Input:
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return {true, {}};
}

MessageReply dispatch(QWidget *parent, MessageRequest request)
{
    if (request.caption.isEmpty())
        request.caption = defaultCaption(request.kind);
    if (handler())
        return handler()(request);
    return showReal(parent, request);
}

} // namespace

void setMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

void showError(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Error, {}, text, {}});
}

void showWarning(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Warning, {}, text, {}});
}

void showInformation(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Information, {}, text, {}});
}

bool askYesNo(QWidget *parent, const QString &text)
{
    return dispatch(parent, {MessageKind::Confirmation, {}, text, {}}).accepted;
}

bool inputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value)
{
    const MessageReply reply = dispatch(parent, {MessageKind::Input, caption, prompt, value});
    if (reply.accepted)
        value = reply.value;
    return reply.accepted;
}

QString inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                 const QString &defaultValue)
{
    QString value = defaultValue;
    if (!inputQuery(parent, caption, prompt, value))
        return defaultValue;
    return value;
}

MessageRecorder::MessageRecorder()
{
    setMessageHandler([this](const MessageRequest &request) {
        m_requests.append(request);
        if (!m_replies.isEmpty())
            return m_replies.takeFirst();
        return MessageReply{true, request.value};
    });
}

MessageRecorder::~MessageRecorder()
{
    setMessageHandler({});
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const MessageRequest &request : m_requests)
        result.append(request.text);
    return result;
}

} // namespace ui
