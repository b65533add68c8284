#include "dealer/frmDlrInfo.h"

#include "database/Database.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

namespace {

// The layout is kept in twips, as the window was designed; 15 twips make a pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

const QString DesignCaption = QStringLiteral("Quillmark 2000 Dealer Information");
const QString DesignFrameCaption = QStringLiteral("Please enter your dealer information here:");

} // namespace

frmDlrInfo::frmDlrInfo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    buildLayout();
    Form_Load();
}

frmDlrInfo::~frmDlrInfo() = default;

void frmDlrInfo::buildLayout() {
    setFont(platform::windowFont());
    setWindowTitle(DesignCaption);
    setFixedSize(7230 / 15, 3030 / 15);

    // Children are created in tab order, so focus moves through them as designed.
    fraDlrInfo = new QGroupBox(DesignFrameCaption, this);
    fraDlrInfo->setGeometry(twips(180, 180, 6870, 2220));

    auto label = [this](const QString& text, QRect where) {
        auto* l = new QLabel(text, fraDlrInfo);
        // A face a little wider than the one the captions were measured in still shows them whole.
        where.setWidth(qMax(where.width(), l->sizeHint().width()));
        l->setGeometry(where);
        return l;
    };
    auto box = [this](int maxLength, QRect where) {
        auto* t = new QLineEdit(fraDlrInfo);
        t->setMaxLength(maxLength);
        t->setGeometry(where);
        return t;
    };

    lblDlrInfo[0] = label(QStringLiteral("Name:"), twips(180, 315, 465, 195));
    txtName = box(50, twips(885, 270, 5355, 330));
    lblDlrInfo[1] = label(QStringLiteral("Address:"), twips(180, 825, 615, 195));
    txtAddr[0] = box(50, twips(885, 780, 5355, 330));
    txtAddr[1] = box(50, twips(885, 1200, 5355, 330));
    lblDlrInfo[2] = label(QStringLiteral("City:"), twips(180, 1755, 300, 195));
    txtCity = box(30, twips(885, 1710, 3255, 330));
    lblDlrInfo[3] = label(QStringLiteral("State:"), twips(4320, 1755, 420, 195));
    txtState = box(2, twips(4830, 1710, 330, 330));
    lblDlrInfo[4] = label(QStringLiteral("Zip:"), twips(5340, 1755, 270, 195));
    txtZip = box(10, twips(5700, 1710, 990, 330));

    cmdDlrInfo[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdDlrInfo[0]->setGeometry(twips(4470, 2580, 1200, 330));
    cmdDlrInfo[0]->setDefault(true);
    cmdDlrInfo[0]->setEnabled(false);
    cmdDlrInfo[1] = new QPushButton(QStringLiteral("Cancel"), this);
    cmdDlrInfo[1]->setGeometry(twips(5850, 2580, 1200, 330));

    for (QLineEdit* t : {txtName, txtAddr[0], txtAddr[1], txtCity, txtState, txtZip})
        connect(t, &QLineEdit::textChanged, this, [this] { EnableOK(); });
    for (int i = 0; i < 2; ++i)
        connect(cmdDlrInfo[i], &QPushButton::clicked, this, [this, i] { cmdDlrInfo_Click(i); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmDlrInfo::Form_Load() {
    try {
        db::Recordset rs;
        rs.open(QStringLiteral("Dlr_Info"), *DbConnection, db::adOpenStatic, db::adLockReadOnly,
                db::adCmdTableDirect);
        const int rows = rs.recordCount();
        rs.close();
        // Start-up only asks when a delivered row exists; without one there is nothing to fill in.
        if (rows < 1)
            throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        iDlrCount = static_cast<qint16>(qMin(rows, 32767));
        sDlrEntries.assign(iDlrCount, {});
        iCurDlr = 1;
        if (iDlrCount > 1) {
            setWindowTitle(QStringLiteral("Quillmark Dealer Information - Dealership #1"));
            fraDlrInfo->setTitle(QStringLiteral("Please enter dealer information for Dealership #1:"));
            cmdDlrInfo[0]->setText(QStringLiteral("Next >>"));
        }
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form DlrInfo: Sub Form_Load"));
        iResponse = 2;
        hide();
    }
}

void frmDlrInfo::EnableOK() {
    const bool missing = txtName->text().isEmpty() || txtCity->text().isEmpty() ||
                         txtState->text().isEmpty() || txtZip->text().isEmpty() ||
                         (txtAddr[0]->text().isEmpty() && txtAddr[1]->text().isEmpty());
    cmdDlrInfo[0]->setEnabled(!missing);
}

void frmDlrInfo::cmdDlrInfo_Click(int Index) {
    if (iResponse != 0)
        return;
    platform::setWaitCursor();
    setEnabled(false);
    try {
        if (Index == 0) {
            sDlrEntries.at(iCurDlr - 1) = {txtName->text(), txtAddr[0]->text(), txtAddr[1]->text(),
                                           txtCity->text(), txtState->text(),   txtZip->text()};
            if (iCurDlr < iDlrCount) {
                ++iCurDlr;
                const QString number = QString::number(iCurDlr);
                setWindowTitle(QStringLiteral("Quillmark Dealer Information - Dealership #") + number);
                fraDlrInfo->setTitle(QStringLiteral("Please enter dealer information for Dealership #") +
                                     number + QLatin1Char(':'));
                for (QLineEdit* t : {txtName, txtAddr[0], txtAddr[1], txtCity, txtState, txtZip})
                    t->clear();
                if (iCurDlr == iDlrCount)
                    cmdDlrInfo[0]->setText(QStringLiteral("OK"));
                setEnabled(true);
                txtName->setFocus();
            } else {
                writeEntries();
                iResponse = 1;
                hide();
            }
        } else {
            iResponse = 2;
            hide();
        }
        platform::restoreCursor();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form DlrInfo: Sub cmdDlrInfo_Click"));
        platform::restoreCursor();
        giveUp();
    } catch (const std::out_of_range&) {
        ShowError(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"),
                  QStringLiteral("Form DlrInfo: Sub cmdDlrInfo_Click"));
        platform::restoreCursor();
        giveUp();
    }
}

// Nothing reaches the table before the last dealership is confirmed; then every row is written in the
// table's stored order, dealership 1 into the first row.
void frmDlrInfo::writeEntries() {
    db::Recordset rs;
    rs.open(QStringLiteral("Dlr_Info"), *DbConnection, db::adOpenStatic, db::adLockOptimistic,
            db::adCmdTableDirect);
    rs.moveFirst();
    static const char* const columns[ColumnCount] = {"Name", "Addr1", "Addr2", "City", "State", "Zip"};
    for (const auto& entry : sDlrEntries) {
        for (int c = 0; c < ColumnCount; ++c)
            rs.setValue(QLatin1String(columns[c]), entry[c].isNull() ? QStringLiteral("") : entry[c]);
        rs.update();
        rs.moveNext();
    }
    rs.close();
}

void frmDlrInfo::giveUp() {
    iResponse = 2;
    hide();
}

void frmDlrInfo::reject() {
    if (iResponse == 0)
        cmdDlrInfo_Click(1);
    else
        hide();
}

// A dialog whose loading failed has already been given up: showing it ends it at once.
void frmDlrInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (iResponse != 0)
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void frmDlrInfo::closeEvent(QCloseEvent* event) {
    if (iResponse == 0)
        iResponse = 2;
    event->accept();
}
