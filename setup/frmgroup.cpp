#include "setup/frmgroup.h"

#include "dbe/table.h"
#include "rules/auditedchange.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/intobject.h"
#include "ui/dbcontrols.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/glyphs.h"
#include "ui/helpkey.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using formkit::place;
using namespace security::fields;
using formkit::placeLabel;

TFormGroup *FormGroup = nullptr;

namespace {

QPushButton *placeButton(const QString &name, const QString &text, QWidget *parent, int x)
{
    auto *button = place<QPushButton>(parent, name, {x, 181, 81, 27}, text);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TFormGroup::TFormGroup(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormGroup"));
    setWindowTitle(QStringLiteral("Modify Group Information"));
    formkit::applyDialogFont(this, formkit::Weight::Regular);
    setFixedSize(289, 215);

    lblGroupName =
        placeLabel(QStringLiteral("lblGroupName"), QStringLiteral("Group Name:"), this, 8, 12);
    dbedGroupName = place<ui::DbEdit>(this, QStringLiteral("dbedGroupName"), {84, 9, 197, 21});
    lblSelected = placeLabel(QStringLiteral("lblSelected"), QStringLiteral("Selected Constants:"),
                             this, 8, 40);
    lbSelected = place<DragListBox>(this, QStringLiteral("lbSelected"), {8, 58, 116, 114});
    spbtnAdd = formkit::placeGlyphButton(this, QStringLiteral("spbtnAdd"), {132, 84, 25, 25},
                                         glyphs::leftArrow(), glyphs::ArrowSize);
    spbtnDel = formkit::placeGlyphButton(this, QStringLiteral("spbtnDel"), {132, 114, 25, 25},
                                         glyphs::rightArrow(), glyphs::ArrowSize);
    lblComplete =
        placeLabel(QStringLiteral("lblComplete"), QStringLiteral("Complete List:"), this, 165, 40);
    lbComplete = place<DragListBox>(this, QStringLiteral("lbComplete"), {165, 58, 116, 114});
    // Each label names its input for screen readers; the arrows are named by what they do.
    formkit::nameByLabel(dbedGroupName, lblGroupName);
    formkit::nameByLabel(lbSelected, lblSelected);
    formkit::nameByLabel(lbComplete, lblComplete);
    spbtnAdd->setAccessibleName(QStringLiteral("Add the selected constant to the group"));
    spbtnDel->setAccessibleName(QStringLiteral("Remove the selected constant from the group"));
    bbtnOk = placeButton(QStringLiteral("bbtnOk"), QStringLiteral("OK"), this, 110);
    bbtnOk->setDefault(true);
    bbtnCancel = placeButton(QStringLiteral("bbtnCancel"), QStringLiteral("Cancel"), this, 200);

    lbSelected->setDropAcceptor([this](QObject *source) { return lbSelectedDragOver(source); });
    lbSelected->setDropHandler([this](QObject *source) { lbSelectedDragDrop(source); });
    // A double click or Enter on a line moves it across, as the arrows do; Delete removes a
    // member.
    connect(lbSelected, &DragListBox::lineChosen, this, &TFormGroup::RemoveAccess);
    connect(lbSelected, &DragListBox::deletePressed, this, &TFormGroup::RemoveAccess);
    connect(lbComplete, &DragListBox::lineChosen, this, &TFormGroup::SelectAccess);
    connect(spbtnAdd, &QToolButton::clicked, this, &TFormGroup::SelectAccess);
    connect(spbtnDel, &QToolButton::clicked, this, &TFormGroup::RemoveAccess);
    connect(bbtnOk, &QPushButton::clicked, this, &TFormGroup::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The fields and lists first, as always, then the two arrows.
    const QList<QWidget *> order = {dbedGroupName, lbSelected, lbComplete, bbtnOk,
                                    bbtnCancel,    spbtnAdd,   spbtnDel};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
    ui::installHelpKey(this, QStringLiteral("setup.html"));
}

void TFormGroup::BindDataSets(dbe::Table *groups, dbe::Table *access, dbe::Table *grpColl)
{
    m_groups = groups;
    m_access = access;
    m_grpColl = grpColl;
    dbedGroupName->setDataField(groups, GroupName);
}

void TFormGroup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    formkit::centreOnScreen(this);
    FormShow();
}

void TFormGroup::FormShow()
{
    UpdateAccessInformation();
    UpdateGrpAccInformation();
}

int TFormGroup::groupId() const
{
    return m_groups->asInteger(GroupId);
}

bool TFormGroup::groupPending() const
{
    const dbe::DataSet::State state = m_groups->state();
    return state == dbe::DataSet::State::Edit || state == dbe::DataSet::State::Insert;
}

void TFormGroup::UpdateAccessInformation()
{
    lbComplete->clear();
    ui::runGuarded(this, [this] {
        for (m_access->first(); !m_access->eof(); m_access->next()) {
            addIdLine(lbComplete, m_access->asString(AccessName),
                      {m_access->asInteger(AccessId), security::RightConstant});
        }
    });
}

void TFormGroup::UpdateGrpAccInformation()
{
    lbSelected->clear();
    ui::runGuarded(this, [this] {
        const int group = groupId();
        for (m_grpColl->first(); !m_grpColl->eof(); m_grpColl->next()) {
            if (m_grpColl->asInteger(GroupId) != group)
                continue;
            const int accessId = m_grpColl->asInteger(AccessId);
            const QString name = m_access->findKey({accessId}) ? m_access->asString(AccessName)
                                                               : QStringLiteral("Error");
            addIdLine(lbSelected, name, {accessId, security::RightConstant});
        }
    });
}

void TFormGroup::SelectAccess()
{
    const std::optional<TIntObject> line = selectedObject(lbComplete);
    if (!line)
        return;
    bool added = false;
    ui::runGuarded(this, [&] {
        // The membership needs the group's id, which a new group only gets when posted.
        if (m_groups->state() == dbe::DataSet::State::Insert)
            security::postAudited(*m_groups, QStringLiteral("group"), GroupName);
        security::SecurityRules rules(m_grpColl->databaseName());
        added = rules.addMember(groupId(), line->id) == security::SecurityRules::Link::Added;
    });
    if (added)
        UpdateGrpAccInformation();
}

void TFormGroup::RemoveAccess()
{
    const std::optional<TIntObject> line = selectedObject(lbSelected);
    if (!line)
        return;
    bool removed = false;
    ui::runGuarded(this, [&] {
        security::SecurityRules rules(m_grpColl->databaseName());
        removed = rules.removeMember(groupId(), line->id);
    });
    if (removed)
        UpdateGrpAccInformation();
}

bool TFormGroup::lbSelectedDragOver(QObject *source) const
{
    if (!source || source->objectName() != QLatin1String("lbComplete"))
        return false;
    const auto *list = qobject_cast<const QListWidget *>(source);
    const std::optional<TIntObject> line = list ? selectedObject(list) : std::nullopt;
    if (!line)
        return false;
    bool member = true;
    ui::runGuarded(const_cast<TFormGroup *>(this), [&] {
        member = m_grpColl->findKey({groupId(), line->id});
    });
    return !member;
}

void TFormGroup::lbSelectedDragDrop(QObject *)
{
    SelectAccess();
}

void TFormGroup::bbtnOkClick()
{
    const bool saved = ui::runGuarded(this, [this] {
        if (groupPending())
            security::postAudited(*m_groups, QStringLiteral("group"), GroupName);
    });
    if (saved)
        accept();
}

void TFormGroup::FormClose(int result)
{
    if (result != QDialog::Accepted && groupPending())
        ui::runGuarded(this, [this] { m_groups->cancel(); });
}

void TFormGroup::done(int result)
{
    FormClose(result);
    QDialog::done(result);
}
