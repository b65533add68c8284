// The name list: building it (FillNames), the source dates, the display filter, the header sort, the
// selection commands and the name search.
#include "database/Database.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "leads/ColumnFitter.h"
#include "leads/NameList.h"
#include "leads/frmFindName.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QDateTime>

namespace {

// Hourglass and a disabled window while a handler works; leaving is safe to repeat.
class BusyState {
public:
    explicit BusyState(QWidget* window) : m_window(window) {}
    ~BusyState() { leave(); }
    void enter() {
        if (m_on)
            return;
        platform::setWaitCursor();
        m_window->setEnabled(false);
        m_on = true;
    }
    void leave() {
        if (!m_on)
            return;
        m_window->setEnabled(true);
        platform::restoreCursor();
        m_on = false;
    }

private:
    QWidget* m_window;
    bool m_on = false;
};

const QString kMark = QStringLiteral("* ");
const QString kSearchEntry = QStringLiteral("* Name Search Results");
const QString kSearchJoin = QStringLiteral("%') OR (Name LIKE '%");

bool isMarked(const QComboBox* box, int index) {
    return box->itemText(index).left(2).compare(kMark, Qt::CaseInsensitive) == 0;
}

void unmarkAll(QComboBox* box) {
    for (int i = 0; i < box->count(); ++i)
        if (isMarked(box, i))
            box->setItemText(i, box->itemText(i).mid(2));
}

// Appends the "m/d/yy" form of a date; a Null date adds nothing. Written digit by digit: a long list
// formats two dates per row.
void appendShortDate(QString& line, const QVariant& value) {
    if (value.isNull())
        return;
    const QDate date = value.toDateTime().date();
    if (!date.isValid())
        return;
    char16_t text[8];
    int n = 0;
    auto number = [&](int v) {
        if (v >= 10)
            text[n++] = static_cast<char16_t>(u'0' + v / 10);
        text[n++] = static_cast<char16_t>(u'0' + v % 10);
    };
    const int yy = date.year() % 100;
    number(date.month());
    text[n++] = u'/';
    number(date.day());
    text[n++] = u'/';
    text[n++] = static_cast<char16_t>(u'0' + yy / 10);
    text[n++] = static_cast<char16_t>(u'0' + yy % 10);
    line.append(QStringView(text, n));
}

QString requiredText(const QVariant& value) {
    if (value.isNull())
        throw Failure(ErrorNumbers::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    return value.toString();
}

constexpr std::array<const char*, 9> kSortColumns{"Court_ID", "Name", "Street",    "City",   "Zip",
                                                  "Phone",    "File", "Discharge", "Printed"};
constexpr int kNameWidth = 1995;
constexpr int kStreetWidth = 2085;
constexpr int kCityWidth = 1875;

} // namespace

void frmMain::FillNames() {
    lstNames->clear();
    lblAvail->setText(QStringLiteral("0"));
    lblSel->setText(QStringLiteral("0"));
    cmdSel[0]->setEnabled(false);
    cmdPrint[0]->setEnabled(false);
    cmdPrint[2]->setEnabled(false);

    std::vector<NameRow> rows;
    db::Recordset rs;
    try {
        QString sql =
            QStringLiteral("SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, "
                           "Printed, Followed FROM [Names] ");
        QString condition;
        if (iListSource == 0) {
            QString ids = QStringLiteral("(");
            for (int i = 0; i < cmbDates->count(); ++i)
                if (isMarked(cmbDates, i))
                    ids += QString::number(cmbDates->itemData(i).toInt()) + QLatin1Char(',');
            if (ids.endsWith(QLatin1Char(',')))
                ids.chop(1);
            ids += QLatin1Char(')'); // "()" with no date chosen: no names
            condition = QStringLiteral("DataFile_ID IN ") + ids;
        } else {
            // The pattern's terms had their quotes doubled when they were typed.
            condition = QStringLiteral("(Name LIKE '%") + Tag(cmdFind) + QStringLiteral("%')");
        }
        QString filter;
        switch (cmbDisplay->currentIndex()) {
        case 1:
            filter = QStringLiteral(" AND NOT Printed");
            break;
        case 2:
            filter = QStringLiteral(" AND Printed AND NOT Followed");
            break;
        default:
            break;
        }
        // The filter must hold for every term of a search, not just the last one.
        if (iListSource != 0 && !filter.isEmpty())
            condition = QLatin1Char('(') + condition + QLatin1Char(')');
        sql += QStringLiteral("WHERE ") + condition + filter + QStringLiteral(" ORDER BY ") + Tag(lstNames);

        rs.open(sql, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        const ColumnFitter fitter(font());
        const QChar tab = QLatin1Char('\t');
        while (!rs.eof()) {
            QString line;
            line.reserve(160);
            line += rs.value(1).toString();
            line += tab;
            const QString name = requiredText(rs.value(2));
            const QString street = requiredText(rs.value(3));
            QString cityState = rs.value(4).toString();
            cityState += QStringLiteral(", ");
            cityState += rs.value(5).toString();
            line += fitter.fit(name, kNameWidth);
            line += tab;
            line += fitter.fit(street, kStreetWidth);
            line += tab;
            line += fitter.fit(cityState, kCityWidth);
            line += tab;
            line += rs.value(6).toString();
            line += tab;
            line += rs.value(7).toString();
            line += tab;
            appendShortDate(line, rs.value(8));
            line += tab;
            appendShortDate(line, rs.value(9));
            line += tab;
            if (rs.value(10).toBool()) {
                line += QLatin1Char('+');
                line += tab;
            }
            rows.push_back(NameRow{std::move(line), rs.value(0).toInt()});
            rs.moveNext();
        }
        rs.close();
        lstNames->setRows(std::move(rows));
        lblAvail->setText(QString::number(lstNames->count()));
        lblSel->setText(QString::number(lstNames->selectedCount()));
    } catch (const Failure& failure) {
        // The rows read before the failure stay; the counters stay at 0.
        lstNames->setRows(std::move(rows));
        ShowError(failure, QStringLiteral("Form Main: Sub FillNames"));
        if (rs.state() == db::adStateOpen)
            rs.close();
    }
}

void frmMain::cmbDates_Click() {
    const int chosen = cmbDates->currentIndex();
    if (chosen < 0 || cmbDates->itemData(chosen).toInt() == -1 || !bEnableClicks)
        return;
    BusyState busy(this);
    try {
        busy.enter();
        int index = chosen;
        if (iListSource == 1) {
            iListSource = 0;
            cmbDates->removeItem(0);
            --index;
            SetTag(cmdFind, QString());
            cmbMode->setCurrentIndex(0);
        }
        if (cmbMode->currentIndex() == 1) {
            if (isMarked(cmbDates, index)) {
                // Already part of the list: only bring the box back to the last date chosen.
                cmbDates->setCurrentIndex(Tag(cmbDates).toInt());
                return;
            }
        } else {
            unmarkAll(cmbDates);
        }
        SetTag(cmbDates, QString::number(index));
        cmbDates->setItemText(index, kMark + cmbDates->itemText(index));
        FillNames();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmbDates_Click"));
    }
}

void frmMain::cmbDisplay_Click() {
    if (Tag(cmbDisplay).toInt() == cmbDisplay->currentIndex())
        return;
    BusyState busy(this);
    try {
        busy.enter();
        SetTag(cmbDisplay, QString::number(cmbDisplay->currentIndex()));
        FillNames();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmbDisplay_Click"));
    }
}

void frmMain::cmdSort_Click(int Index) {
    BusyState busy(this);
    try {
        busy.enter();
        if (Index < 0 || Index >= static_cast<int>(kSortColumns.size()))
            throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        const QString column = QString::fromLatin1(kSortColumns[static_cast<size_t>(Index)]);
        QPushButton* header = cmdSort[static_cast<size_t>(Index)];
        const int remembered = Tag(pnlNames).toInt();
        QString direction;
        if (Index == remembered) {
            direction = Tag(header).compare(QStringLiteral("ASC"), Qt::CaseInsensitive) == 0
                            ? QStringLiteral("DESC")
                            : QStringLiteral("ASC");
            SetTag(header, direction);
        } else {
            direction = Tag(header);
            if (remembered >= 0 && remembered < static_cast<int>(cmdSort.size())) {
                QFont plain = cmdSort[static_cast<size_t>(remembered)]->font();
                plain.setUnderline(false);
                cmdSort[static_cast<size_t>(remembered)]->setFont(plain);
            }
            QFont underlined = header->font();
            underlined.setUnderline(true);
            header->setFont(underlined);
            SetTag(pnlNames, QString::number(Index));
        }
        SetTag(lstNames, column + QLatin1Char(' ') + direction);
        FillNames();
        busy.leave();
        lstNames->setFocus();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmdSort_Click_Err"));
    }
}

void frmMain::cmdSel_Click(int Index) {
    BusyState busy(this);
    try {
        switch (Index) {
        case 0: {
            // Nothing selected, nothing to delete (the button is disabled then anyway).
            if (lstNames->selectedCount() == 0)
                return;
            const auto answer =
                platform::messageBox(QStringLiteral("Are you sure you want to delete the selected "
                                                    "Names?\r\n\r\nThis action cannot be undone."),
                                     platform::Icon::Exclamation, platform::Buttons::YesNo,
                                     QStringLiteral("Confirm Delete"), platform::Yes);
            if (answer != platform::Yes)
                return;
            busy.enter();
            QString sql = QStringLiteral("DELETE * FROM [Names] WHERE ID IN (");
            for (int row : lstNames->selectedRows())
                sql += QString::number(lstNames->itemData(row)) + QLatin1Char(',');
            sql.chop(1);
            sql += QLatin1Char(')');
            // The rows leave the list only once the database has let them go, so that list and
            // database never disagree.
            DbConnection->execute(sql);
            lstNames->removeSelected();
            lblAvail->setText(QString::number(lstNames->count()));
            lblSel->setText(QStringLiteral("0"));
            cmdSel[0]->setEnabled(false);
            cmdPrint[0]->setEnabled(false);
            cmdPrint[2]->setEnabled(false);
            break;
        }
        case 1:
            busy.enter();
            bEnableClicks = false;
            lstNames->selectRange(0, lstNames->count() - 1, true);
            bEnableClicks = true;
            lstNames_Click();
            break;
        case 2: {
            // One deselection of every row, handled once as the user's click would be.
            {
                const QSignalBlocker quiet(lstNames);
                lstNames->selectRange(0, lstNames->count() - 1, false);
            }
            lstNames_Click();
            break;
        }
        default:
            break;
        }
    } catch (const Failure& failure) {
        bEnableClicks = true;
        ShowError(failure, QStringLiteral("Form Main: Sub cmdSel_Click"));
    }
}

void frmMain::lstNames_Click() {
    if (!bEnableClicks)
        return;
    try {
        const int selected = lstNames->selectedCount();
        lblSel->setText(QString::number(selected));
        cmdPrint[0]->setEnabled(selected > 0);
        cmdSel[0]->setEnabled(selected > 0);
        EnablePrint();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub lstNames_Click"));
    }
}

void frmMain::cmdFind_Click() {
    // A dialog left behind by a failed search is shown again, its text kept.
    auto* dialog = findChild<frmFindName*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new frmFindName(this);
    dialog->iResponse = 0;
    BusyState busy(this);
    try {
        platform::showModal(*dialog);
        if (dialog->iResponse == 1) {
            busy.enter();
            if (iListSource == 0) {
                iListSource = 1;
                unmarkAll(cmbDates);
                cmbDates->insertItem(0, kSearchEntry, -1);
                bEnableClicks = false;
                cmbDates->setCurrentIndex(0);
                bEnableClicks = true;
                cmbMode->setCurrentIndex(0);
            }
            // Quotes doubled here, once per term, so that O'BRIEN is searched for rather than
            // breaking the statement; % and _ stay the database's wildcards.
            const QString term = db::quoted(dialog->txtName->text());
            const QString pattern = Tag(cmdFind);
            if (cmbMode->currentIndex() == 0 || pattern.isEmpty())
                SetTag(cmdFind, term);
            else
                SetTag(cmdFind, term + kSearchJoin + pattern);
            FillNames();
            busy.leave();
        }
        delete dialog;
    } catch (const Failure& failure) {
        bEnableClicks = true;
        ShowError(failure, QStringLiteral("Form Main: Sub cmdFind_Click"));
    }
}
