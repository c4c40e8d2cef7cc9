#include "ui/messages.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

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
    case MessageKind::SaveFile:
        break;
    }
    return QApplication::applicationDisplayName();
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box without a visible parent (a host's start-up messages, before its window is shown) is
// put in the middle of the screen rather than over the hidden window or wherever the window
// system starts new windows. Placed once shown, when the box has its final size.
template <typename Dialog> class ScreenCentred : public Dialog
{
public:
    explicit ScreenCentred(QWidget *parent) : Dialog(parent) {}

protected:
    void showEvent(QShowEvent *event) override
    {
        Dialog::showEvent(event);
        QWidget *parent = this->parentWidget();
        if (parent && parent->window()->isVisible())
            return;
        QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (!screen)
            return;
        QRect frame = this->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        this->move(frame.topLeft());
    }
};

MessageReply showReal(QWidget *parent, const MessageRequest &request)
{
    if (request.kind == MessageKind::Input) {
        ScreenCentred<QInputDialog> dialog(parent);
        dialog.setWindowTitle(request.caption);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setLabelText(request.text);
        dialog.setTextValue(request.value);
        if (request.maxLength > 0) {
            if (auto *edit = dialog.findChild<QLineEdit *>())
                edit->setMaxLength(request.maxLength);
        }
        const bool ok = dialog.exec() == QDialog::Accepted;
        return {ok, ok ? dialog.textValue() : request.value};
    }
    if (request.kind == MessageKind::SaveFile) {
        const QString chosen =
            QFileDialog::getSaveFileName(parent, request.caption, request.value, request.text);
        return {!chosen.isEmpty(), chosen.isEmpty() ? request.value : chosen};
    }
    ScreenCentred<QMessageBox> box(parent);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    box.setIcon(boxIcon(iconOf(request)));
    switch (request.kind) {
    case MessageKind::Error:
    case MessageKind::Warning:
    case MessageKind::Information:
        break;
    case MessageKind::Confirmation:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return {box.exec() == QMessageBox::Yes, {}};
    case MessageKind::Input:
    case MessageKind::SaveFile:
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

MessageIcon iconOf(const MessageRequest &request)
{
    if (request.icon != MessageIcon::None)
        return request.icon;
    switch (request.kind) {
    case MessageKind::Error:
        return MessageIcon::Critical;
    case MessageKind::Warning:
        return MessageIcon::Warning;
    case MessageKind::Information:
        return MessageIcon::Information;
    case MessageKind::Confirmation:
        return MessageIcon::Question;
    case MessageKind::Input:
    case MessageKind::SaveFile:
        break;
    }
    return MessageIcon::None;
}

void setMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

void showError(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Error, {}, text, {}, 0, MessageIcon::None});
}

void showWarning(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Warning, {}, text, {}, 0, MessageIcon::None});
}

void showInformation(QWidget *parent, const QString &text)
{
    dispatch(parent, {MessageKind::Information, {}, text, {}, 0, MessageIcon::None});
}

bool askYesNo(QWidget *parent, const QString &text, MessageIcon icon)
{
    return dispatch(parent, {MessageKind::Confirmation, {}, text, {}, 0, icon}).accepted;
}

bool inputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value,
                int maxLength)
{
    const MessageReply reply = dispatch(
        parent, {MessageKind::Input, caption, prompt, value, maxLength, MessageIcon::None});
    if (reply.accepted)
        value = reply.value;
    return reply.accepted;
}

bool askSaveFileName(QWidget *parent, const QString &caption, QString &path,
                     const QString &filter)
{
    const MessageReply reply =
        dispatch(parent, {MessageKind::SaveFile, caption, filter, path, 0, MessageIcon::None});
    if (reply.accepted)
        path = reply.value;
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
