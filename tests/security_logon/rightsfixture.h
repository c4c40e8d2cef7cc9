#pragma once

#include "tests/support/testsupport.h"

namespace logontest {

// Ten access constants (ids 1 to 10) and five groups (ids 1 to 5, so that group ids and access
// ids overlap): group 3 holds constants 7 and 8, group 5 holds constant 2, group 1 is empty.
// "Tester" and the user right after him, "Neighbour", get the rights named like "C7 G3".
struct RightsFixture {
    explicit RightsFixture(bool logging)
    {
        db.setSettings(true, logging);
        for (int i = 1; i <= 10; ++i)
            db.addAccess(QStringLiteral("Right %1").arg(i));
        for (int i = 1; i <= 5; ++i)
            db.addGroup(QStringLiteral("Group %1").arg(i));
        db.addMember(3, 7);
        db.addMember(3, 8);
        db.addMember(5, 2);
        tester = db.addUser(QStringLiteral("Tester"), QStringLiteral("pw"));
        neighbour = db.addUser(QStringLiteral("Neighbour"), QStringLiteral("pw"));
    }

    void grant(int userId, const QString &rights)
    {
        for (const QString &right : rights.split(u' ', Qt::SkipEmptyParts))
            db.grant(userId, right.mid(1).toInt(), right.left(1));
    }

    testsupport::SecurityDb db;
    int tester = 0;
    int neighbour = 0;
};

} // namespace logontest
