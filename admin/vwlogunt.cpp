#include "admin/vwlogunt.h"

#include "admin/formstyle.h"
#include "admin/loggridmodel.h"
#include "intl/shortdate.h"
#include "logarchive/logcsv.h"
#include "ui/formkit.h"
#include "admin/logging.h"
#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/auditedchange.h"
#include "rules/schema.h"
#include "ui/datasetmodel.h"
#include "ui/engineerror.h"
#include "ui/helpkey.h"
#include "ui/messages.h"
#include "ui/windowedtableview.h"

#include <QDir>
#include <QHeaderView>
#include <QShortcut>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

namespace {

const QString UserNameField = QStringLiteral("UserName");
const QString AccessLabelField = QStringLiteral("AccessLabel");
constexpr int CalculatedTextSize = 30;

} // namespace

TfrmViewLog::TfrmViewLog(QWidget *parent)
    : QDialog(parent), m_userNames(security::fields::UserName),
      m_accessNames(security::fields::AccessName)
{
    ui::installHelpKey(this, QStringLiteral("viewlog.html"));
    setObjectName(QStringLiteral("frmViewLog"));
    setWindowTitle(QStringLiteral("View Log"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 522, 337);

    // A busy site's log runs to millions of entries, more rows than Qt's own views handle
    // quickly: the grid holds a window of them.
    DBGrid1 = new ui::WindowedTableView(this);
    DBGrid1->setAccessibleName(QStringLiteral("Activity log"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 8, 505, 281);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    DBGrid1->verticalHeader()->setFixedWidth(14);

    btnClearLog = new QPushButton(QStringLiteral("&Clear Log"), this);
    btnClearLog->setObjectName(QStringLiteral("btnClearLog"));
    btnClearLog->setGeometry(8, 300, 97, 27);
    connect(btnClearLog, &QPushButton::clicked, this, &TfrmViewLog::btnClearLogClick);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setGeometry(424, 300, 89, 27);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    tblUsers = new dbe::Table(this);
    tblUsers->setObjectName(QStringLiteral("tblUsers"));
    tblUsers->setTableName(security::tables::Users);
    tblAccess = new dbe::Table(this);
    tblAccess->setObjectName(QStringLiteral("tblAccess"));
    tblAccess->setTableName(security::tables::Access);
    tblLog = new dbe::Table(this);
    tblLog->setObjectName(QStringLiteral("tblLog"));
    tblLog->setTableName(security::tables::Log);
    tblLog->setIndexName(security::indexes::LogInfo);
    tblLog->addCalculatedField(UserNameField, dbe::FieldType::Alpha, CalculatedTextSize);
    tblLog->addCalculatedField(AccessLabelField, dbe::FieldType::Alpha, CalculatedTextSize);
    tblLog->setCalcFieldsHandler([this](dbe::DataSet &log) { tblLogCalcFields(log); });
    m_usersComing = dbe::KeyedNames::readAhead(*tblLog, security::fields::UserId);
    m_accessComing = dbe::KeyedNames::readAhead(*tblLog, security::fields::AccessId);

    dsLog = new LogGridModel(this);
    dsLog->setObjectName(QStringLiteral("dsLog"));
    dsLog->setColumnOrder({security::fields::AccessDate, security::fields::LogCount, UserNameField,
                           security::fields::UserId, security::fields::AccessId, AccessLabelField});
    dsLog->setDataSet(tblLog);
    DBGrid1->setSourceModel(dsLog);
    connect(DBGrid1, &ui::WindowedTableView::currentSourceRowChanged, dsLog,
            &LogGridModel::setCurrentRow);
    connect(dsLog, &ui::DataSetModel::readFailed, this,
            [this](const dbe::Error &error) { ui::showEngineError(this, error); });

    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &TfrmViewLog::FindEntry);
}

TfrmViewLog::~TfrmViewLog()
{
    // The model must not hear of tables closing while the window comes apart.
    dsLog->setDataSet(nullptr);
}

void TfrmViewLog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
    // Without its tables the window has nothing to show: the engine's text is reported, and
    // the window closes again.
    if (!ui::runGuarded(this, [this] { FormShow(); }))
        QTimer::singleShot(0, this, &QDialog::reject);
}

void TfrmViewLog::hideEvent(QHideEvent *event)
{
    FormHide();
    QDialog::hideEvent(event);
}

void TfrmViewLog::FormShow()
{
    // The calculated fields look rows up in the user and constant tables, so those open first.
    tblUsers->open();
    tblAccess->open();
    tblLog->open();
    showLog();
}

void TfrmViewLog::FormHide()
{
    m_userNames.clear();
    m_accessNames.clear();
    tblLog->close();
    tblUsers->close();
    tblAccess->close();
}

void TfrmViewLog::describeLogFields()
{
    struct Column {
        QString field;
        QString title;
        int width;
        bool visible;
    };
    const Column columns[] = {
        {security::fields::AccessDate, QStringLiteral("Access Date"), 16, true},
        {security::fields::LogCount, QStringLiteral("Cnt"), 5, true},
        {UserNameField, QStringLiteral("User Name"), 20, true},
        {security::fields::UserId, QStringLiteral("User ID"), 0, false},
        {security::fields::AccessId, QStringLiteral("Acc ID"), 4, true},
        {AccessLabelField, QStringLiteral("Access Label"), 20, true},
    };
    for (const Column &column : columns) {
        dbe::FieldInfo &field = tblLog->fieldInfo(column.field);
        field.displayLabel = column.title;
        if (column.width > 0)
            field.displayWidth = column.width;
        field.visible = column.visible;
    }
}

void TfrmViewLog::showLog()
{
    // Names are kept while the grid shows the same rows; a fresh reading shows them as they
    // are now.
    m_userNames.clear();
    m_accessNames.clear();
    describeLogFields();
    dsLog->reload();
    ui::applyColumnWidths(DBGrid1, *dsLog);
    // The count grows with every entry ever written and the newest entry has the largest: its
    // digits must fit, which the column's five characters no longer do after 99,999 entries.
    const int count = dsLog->columnOf(security::fields::LogCount);
    if (count >= 0 && dsLog->rowCount() > 0)
        ui::widenColumnToFit(DBGrid1, count,
                             dsLog->index(dsLog->rowCount() - 1, count).data().toString());
    fitColumns();
    // The newest entries are what one opens the log for.
    if (dsLog->rowCount() > 0) {
        DBGrid1->setCurrentSourceRow(dsLog->rowCount() - 1);
        DBGrid1->scrollToBottom();
    }
}

void TfrmViewLog::fitColumns()
{
    // The grid's width less its frame, the row indicator and, when the rows need one, the
    // vertical scroll bar: the columns share exactly that, so no horizontal scroll bar appears.
    const int frame = 2 * DBGrid1->frameWidth();
    const qint64 rowsHeight =
        qint64(dsLog->rowCount()) * DBGrid1->verticalHeader()->defaultSectionSize();
    const int rowsRoom =
        DBGrid1->height() - frame - DBGrid1->horizontalHeader()->sizeHint().height();
    const int scrollBar =
        rowsHeight > rowsRoom
            ? DBGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DBGrid1)
            : 0;
    const int room = DBGrid1->width() - frame - DBGrid1->verticalHeader()->width() - scrollBar;
    int total = 0;
    for (int column = 0; column < dsLog->columnCount(); ++column)
        total += DBGrid1->columnWidth(column);
    const int userName = dsLog->columnOf(UserNameField);
    const int accessLabel = dsLog->columnOf(AccessLabelField);
    if (userName < 0 || accessLabel < 0)
        return;
    // Only the two name columns give or take: the date, the count and the id keep their
    // width. The excess (or the spare room) is split between them.
    const int change = room - total;
    const int first = change / 2;
    DBGrid1->setColumnWidth(userName, DBGrid1->columnWidth(userName) + first);
    DBGrid1->setColumnWidth(accessLabel, DBGrid1->columnWidth(accessLabel) + change - first);
}

void TfrmViewLog::tblLogCalcFields(dbe::DataSet &log)
{
    // A name missing from what was read is looked up together with those of the entries the
    // log's walk has read ahead: a block of the grid costs a statement or two, not one per row.
    const std::optional<QString> user =
        m_userNames.find(*tblUsers, log.asInteger(security::fields::UserId), m_usersComing);
    log.setString(UserNameField, user.value_or(QStringLiteral("Unknown")));

    if (log.isNull(security::fields::AccessId)) {
        log.setString(AccessLabelField, QStringLiteral("*** Logon ***"));
        return;
    }
    const std::optional<QString> constant =
        m_accessNames.find(*tblAccess, log.asInteger(security::fields::AccessId), m_accessComing);
    log.setString(AccessLabelField, constant.value_or(QStringLiteral("Unknown")));
}

void TfrmViewLog::btnClearLogClick()
{
    if (!ui::askYesNo(this, QStringLiteral("Are you sure you want to clear the Log?")))
        return;
    tblLog->close();
    tblLog->setExclusive(true);
    try {
        tblLog->open();
    } catch (const dbe::Error &error) {
        // Refused because another program or workstation has the log open; that is what the
        // administrator needs to know, and the engine's wording of it goes to the log.
        qCInfo(admin::lcAdmin).noquote() << "opening the log exclusively failed:" << error.text();
        ui::showError(this, QStringLiteral("Unable to open Log Table Exclusively."));
    }
    try {
        if (tblLog->isOpen()) {
            if (!saveLogBeforeClearing()) {
                tblLog->close();
            } else {
                security::emptyAudited(*tblLog, QStringLiteral("clear log"));
                accept();
                return;
            }
        }
    } catch (const dbe::Error &error) {
        tblLog->close();
        ui::showEngineError(this, error);
    }
    tblLog->setExclusive(false);
    ui::runGuarded(this, [&] {
        tblLog->open();
        showLog();
    });
}

bool TfrmViewLog::saveLogBeforeClearing()
{
    if (!ui::askYesNo(this,
                      QStringLiteral("Save a copy of the log as a CSV file before it is cleared?")))
        return true;
    QString path = QDir::home().filePath(
        QStringLiteral("activity-log-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)));
    if (!ui::askSaveFileName(this, QStringLiteral("Save the Log as CSV"), path,
                             QStringLiteral("CSV files (*.csv)")))
        return false;
    // Written through the window's own cursor: the log is open exclusively, so nobody writes
    // between the copy and the clearing, and another cursor of this process would be refused.
    return ui::runGuarded(this, [&] {
        logarchive::writeLogCsv(*tblLog, logarchive::LogNames(tblLog->databaseName()), path);
    });
}

void TfrmViewLog::FindEntry()
{
    if (!tblLog->isOpen())
        return;
    QString text = m_findText;
    if (!ui::inputQuery(this, QStringLiteral("Find"), QStringLiteral("User name or date:"), text))
        return;
    text = text.trimmed();
    if (text.isEmpty())
        return;
    m_findText = text;
    ui::runGuarded(this, [&] {
        if (!findEntry(text))
            return;
        const int row = dsLog->placeCurrentEntry();
        if (row < 0)
            return;
        DBGrid1->setCurrentSourceRow(row);
        DBGrid1->scrollToSourceRow(row, QAbstractItemView::PositionAtCenter);
    });
}

bool TfrmViewLog::findEntry(const QString &text)
{
    // A user's name first: a name such as "2026" is not taken for a year.
    dbe::Table users;
    users.setDatabaseName(tblLog->databaseName());
    users.setTableName(security::tables::Users);
    users.setIndexName(security::indexes::UserName);
    users.open();
    if (users.findKey({text}))
        return findUserEntry(users.asInteger(security::fields::UserId));

    const QDate today = QDate::currentDate();
    std::optional<QDate> day = controls::ShortDateFormat::current().parse(text, today);
    if (!day || !day->isValid()) {
        const QDate iso = QDate::fromString(text, Qt::ISODate);
        if (iso.isValid())
            day = iso;
    }
    if (!day || !day->isValid()) {
        ui::showInformation(this,
                            QStringLiteral("No user is called %1, and it is no date.").arg(text));
        return false;
    }
    if (tblLog->findNearest({QDateTime(*day, QTime(0, 0))}))
        return true;
    ui::showInformation(this, QStringLiteral("No entry is dated %1 or later.")
                                  .arg(QLocale().toString(*day, QLocale::ShortFormat)));
    return false;
}

bool TfrmViewLog::findUserEntry(int userId)
{
    // From the entry the grid stands on: the next one of the user after it, so that Ctrl+F
    // and Enter again go on to the next.
    const int countColumn = dsLog->columnOf(security::fields::LogCount);
    const int current = DBGrid1->currentSourceRow();
    bool onCurrent = false;
    if (current >= 0 && countColumn >= 0) {
        bool isNumber = false;
        const qint64 count =
            dsLog->index(current, countColumn).data().toString().toLongLong(&isNumber);
        onCurrent = isNumber && tblLog->findAutoInc(count) &&
                    tblLog->value(security::fields::LogCount).toLongLong() == count;
    }
    if (!onCurrent) {
        tblLog->first();
        if (!tblLog->isEmpty() && tblLog->asInteger(security::fields::UserId) == userId)
            return true;
    }
    if (tblLog->locateNext(security::fields::UserId, userId))
        return true;
    ui::showInformation(this, QStringLiteral("No further entry of this user."));
    return false;
}
