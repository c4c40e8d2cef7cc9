// Where the selected user's rights come from, and who holds a constant: read through the
// rules' effective rights, which are built on the access test's own walk, so that the window
// explains exactly what a host's access test answers.

#include "rules/effectiverights.h"
#include "rules/schema.h"
#include "dbe/table.h"
#include "setup/draglistbox.h"
#include "setup/frmsecmn.h"
#include "setup/intobject.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

#include <QLabel>
#include <QMap>

using namespace security::fields;

namespace {

QString waysHeld(const security::HeldBy &held)
{
    QStringList ways;
    if (held.direct)
        ways << QStringLiteral("granted directly");
    for (const QString &group : held.groups)
        ways << QStringLiteral("through group ") + group;
    return ways.join(QStringLiteral(", and "));
}

// The line of a constant says how the user holds it; the line of a group, which of the user's
// constants come through it.
QString sourceText(const TIntObject &line, const QString &lineText,
                   const std::vector<security::HeldBy> &held, const QMap<int, QString> &groups)
{
    if (line.type == security::RightGroup) {
        const QString group = groups.value(line.id);
        QStringList constants;
        for (const security::HeldBy &entry : held) {
            if (entry.groups.contains(group))
                constants << entry.name;
        }
        return constants.isEmpty()
                   ? QStringLiteral("Group %1 grants no constant.").arg(group)
                   : QStringLiteral("Group %1 grants %2.").arg(group, constants.join(QStringLiteral(", ")));
    }
    for (const security::HeldBy &entry : held) {
        if (entry.id == line.id && line.type == security::RightConstant)
            return QStringLiteral("%1: %2.").arg(entry.name, waysHeld(entry));
    }
    // A code the editor never writes grants nothing.
    return QStringLiteral("%1 is not held through this line.").arg(lineText);
}

} // namespace

void TFormMain::describeRightSources()
{
    lblStatus->clear();
    if (!userSelected())
        return;
    ui::runGuarded(this, [this] {
        security::EffectiveRights rights(m_aliasName);
        const std::vector<security::HeldBy> held = rights.rightsOf(tblUsers->asInteger(UserId));
        QMap<int, QString> groups;
        for (const security::NamedEntry &group : rights.groups())
            groups.insert(group.id, group.name);
        for (int row = 0; row < lbUsrAccess->count(); ++row) {
            auto *item = static_cast<IdListItem *>(lbUsrAccess->item(row));
            item->setToolTip(sourceText(item->object(), item->text(), held, groups));
        }
    });
    showRightSource();
}

void TFormMain::showRightSource()
{
    const QListWidgetItem *item = lbUsrAccess->currentItem();
    lblStatus->setText(item ? item->toolTip() : QString());
}

void TFormMain::spbtnAccHoldersClick()
{
    const std::optional<TIntObject> line = selectedObject(lbConstants);
    if (!line)
        return;
    const QString name = selectedText(lbConstants);
    ui::runGuarded(this, [&] {
        const std::vector<security::HeldBy> holders =
            security::EffectiveRights(m_aliasName).holdersOf(line->id);
        if (holders.empty()) {
            ui::showInformation(this, QStringLiteral("No enabled user holds %1.").arg(name));
            return;
        }
        QStringList lines;
        for (const security::HeldBy &holder : holders)
            lines << QStringLiteral("%1: %2").arg(holder.name, waysHeld(holder));
        ui::showInformation(this, QStringLiteral("Enabled users who hold %1:\n\n%2")
                                      .arg(name, lines.join(QLatin1Char('\n'))));
    });
}
