#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// The previous version's four security files, written as it wrote them: text in Windows-1252
// with every byte b stored as (128 - b) modulo 256, ids as dBASE numbers.
namespace oldfixture {

// The stored form of a text. Knows Latin-1 and the few Windows-1252 letters the tests use.
QByteArray encode(const QString &text);

// Ids are QVariants: an int is written as a number, a QByteArray as the bytes the field holds
// ("12a", "  " for a blank that is not a number), a null QVariant as an empty field.
struct User {
    QVariant id;
    QString login;
    QString password;
    bool deleted = false;
};
struct Constant {
    QVariant id;
    QString label;
    bool deleted = false;
};
struct Right {
    QVariant user;
    QVariant access;
    bool deleted = false;
};
struct System {
    QString description;
    QVariant loginLog; // a QChar mark, or null for a blank field
};

void writeUsers(const QString &dir, const QList<User> &users);
void writeConstants(const QString &dir, const QList<Constant> &constants);
void writeRights(const QString &dir, const QList<Right> &rights);
void writeSystem(const QString &dir, const QList<System> &rows);

} // namespace oldfixture
