#include "tests/admin/reportdata.h"

#include "dbe/table.h"
#include "report/drawcmds.h"
#include "report/pagerecorder.h"

#include <cmath>
#include <memory>

namespace reportdata {

void appendLog(const QString &alias, const QDateTime &when, int userId, const QVariant &accessId)
{
    dbe::appendRecord(alias, QStringLiteral("LOG.DB"),
                      {{QStringLiteral("Access_Date"), when},
                       {QStringLiteral("User_ID"), userId},
                       {QStringLiteral("Access_ID"), accessId}});
}

void deleteRow(const QString &alias, const QString &table, int id)
{
    dbe::Table rows;
    rows.setDatabaseName(alias);
    rows.setTableName(table);
    rows.open();
    if (!rows.findKey({id}))
        throw std::runtime_error("no row to delete");
    rows.remove();
}

std::unique_ptr<dbe::Table> holdConnection(const QString &alias)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(alias);
    table->setTableName(QStringLiteral("PROGRAM.DB"));
    table->open();
    return table;
}

void fillScenario(testsupport::SecurityDb &db)
{
    const auto connection = holdConnection(db.alias());
    const int alice = db.addUser(QStringLiteral("alice"), AlicePassword, true, true,
                                 QStringLiteral("Sales"), QStringLiteral("101"));
    const int bob = db.addUser(QStringLiteral("bob"), BobPassword, false);
    const int view = db.addAccess(QStringLiteral("VIEW_ORDERS"));
    const int edit = db.addAccess(QStringLiteral("EDIT_ORDERS"));
    const int old = db.addAccess(QStringLiteral("OLD_RIGHT"));
    const int clerks = db.addGroup(QStringLiteral("Clerks"));
    const int gone = db.addGroup(QStringLiteral("Gone"));
    db.addMember(clerks, view);
    db.addMember(clerks, edit);
    db.addMember(gone, view);
    db.grant(alice, view, QStringLiteral("C"));
    db.grant(alice, clerks, QStringLiteral("G"));
    db.grant(bob, old, QStringLiteral("C"));
    db.grant(bob, gone, QStringLiteral("G"));

    const QDateTime first(FirstDay, QTime(0, 0));
    appendLog(db.alias(), first.addSecs(-1), alice, view);                   // before the range
    appendLog(db.alias(), first, alice, view);                               // its first moment
    appendLog(db.alias(), first.addSecs(8 * 3600), 0, QVariant());           // supervisor logon
    appendLog(db.alias(), first.addSecs(9 * 3600), bob, old);                // deleted constant
    appendLog(db.alias(), first.addDays(2).addMSecs(-1), alice, QVariant()); // its last moment
    appendLog(db.alias(), first.addDays(2), alice, edit);                    // the midnight after

    deleteRow(db.alias(), QStringLiteral("ACCESS.DB"), old);
    deleteRow(db.alias(), QStringLiteral("GROUPS.DB"), gone);
}

void fillMany(testsupport::SecurityDb &db, int count)
{
    const auto connection = holdConnection(db.alias());
    const int group = db.addGroup(QStringLiteral("Everything"));
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        const int user = db.addUser(QStringLiteral("user") + number, QStringLiteral("pw"));
        const int constant = db.addAccess(QStringLiteral("RIGHT_") + number);
        db.addMember(group, constant);
        db.grant(user, constant, QStringLiteral("C"));
        appendLog(db.alias(), QDateTime(FirstDay, QTime(10, 0)).addSecs(i), user, constant);
    }
}

QList<QStringList> linesOf(const report::PageRecorder &pages, int page)
{
    QList<QStringList> lines;
    double lineY = -1;
    for (const auto &command : pages.PageCommands(page)) {
        const auto *box = dynamic_cast<const report::TTextBoxCmd *>(command.get());
        if (!box)
            continue;
        if (lines.isEmpty() || std::abs(box->Y1 - lineY) > 1e-9)
            lines.append(QStringList());
        lines.last().append(box->Text);
        lineY = box->Y1;
    }
    return lines;
}

} // namespace reportdata
