#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Every message box and input box of the program goes through these functions, so that a test
// can read the exact text and give the answer a person would.

enum class MessageKind {
    Error,        // error icon, OK
    Warning,      // warning icon, OK
    Information,  // information icon, OK
    Confirmation, // question icon, Yes and No
    Input,        // a caption, a prompt and one line of text; OK and Cancel
    SaveFile,     // a caption and a file to write (value); text holds the name filter
};

enum class MessageIcon { None, Critical, Warning, Information, Question };

struct MessageRequest {
    MessageKind kind = MessageKind::Error;
    QString caption;
    QString text;
    QString value;     // Input: the text the box starts with
    int maxLength = 0; // Input: the most characters the field behind it holds; 0 for no limit
    MessageIcon icon = MessageIcon::None; // None: the kind's own icon
};

struct MessageReply {
    bool accepted = true; // OK or Yes; false for Cancel or No
    QString value;        // Input: the text as typed
};

using MessageHandler = std::function<MessageReply(const MessageRequest &)>;

// The icon a box of this kind shows unless its request names another.
MessageIcon iconOf(const MessageRequest &request);

// An empty handler (the default) shows real dialogs.
void setMessageHandler(MessageHandler handler);

void showError(QWidget *parent, const QString &text);
void showWarning(QWidget *parent, const QString &text);
void showInformation(QWidget *parent, const QString &text);
// True when the answer is Yes. A question that destroys data asks with the warning icon.
bool askYesNo(QWidget *parent, const QString &text, MessageIcon icon = MessageIcon::Question);
// Asks for one line of text. True on OK, with `value` replaced by the typed text; on Cancel
// `value` is left as it was. A `maxLength` above 0 stops the typing at that many characters, so
// a field's size is seen as one types rather than cut silently when the value is stored.
bool inputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value,
                int maxLength = 0);
// Asks for the name of a file to write, starting at `path`. True on OK, with `path` replaced by
// the chosen file; on Cancel `path` is left as it was. `filter`: "CSV files (*.csv)".
bool askSaveFileName(QWidget *parent, const QString &caption, QString &path,
                     const QString &filter);
// Like inputQuery, but answers the default on Cancel.
QString inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                 const QString &defaultValue);

// Installs itself as the handler while it lives: records every request and answers from the
// queue of replies (OK/Yes with the offered text when the queue is empty).
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    void answer(MessageReply reply) { m_replies.append(std::move(reply)); }
    void answerNo() { answer({false, {}}); }
    void answerText(const QString &text) { answer({true, text}); }

    const QList<MessageRequest> &requests() const { return m_requests; }
    QStringList texts() const;
    QString lastText() const { return m_requests.isEmpty() ? QString() : m_requests.last().text; }
    void clear() { m_requests.clear(); }

private:
    QList<MessageRequest> m_requests;
    QList<MessageReply> m_replies;
};

} // namespace ui
