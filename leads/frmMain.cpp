#include "leads/frmMain.h"

#include "database/Database.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "leads/NameList.h"
#include "platform/Fonts.h"
#include "startup/Globals.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QLocale>

namespace {
void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
}

struct SortHeader {
    const char* caption;
    int left;
    int width;
    const char* tip;
};
// The header row above the list; the lefts and widths are also the list's column layout.
constexpr std::array<SortHeader, 9> kHeaders{{{"Court", 90, 555, ""},
                                              {"Name", 644, 1995, "Sort by Name"},
                                              {"Street", 2638, 2085, "Sort by Street Address"},
                                              {"City, State", 4722, 1875, ""},
                                              {"Zip", 6596, 645, ""},
                                              {"Phone", 7245, 1215, ""},
                                              {"File Date", 8460, 795, ""},
                                              {"Disch.", 9255, 765, ""},
                                              {"P", 10035, 315, ""}}};
} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmMain"));
    buildLayout();

    for (int i = 0; i < 9; ++i)
        connect(cmdSort[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdSort_Click(i); });
    for (int i = 0; i < 3; ++i)
        connect(cmdSel[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdSel_Click(i); });
    for (int i = 0; i < 3; ++i)
        connect(cmdPrint[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdPrint_Click(i); });
    // A choice made by the user (mouse or keys), also of the entry already shown; the program's own
    // selections call the handlers themselves where they are wanted.
    connect(cmbDates, &QComboBox::activated, this, [this] { cmbDates_Click(); });
    connect(cmbDisplay, &QComboBox::activated, this, [this] { cmbDisplay_Click(); });
    connect(lstNames, &NameList::listClicked, this, [this] { lstNames_Click(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdImportdatafile, &QPushButton::clicked, this, [this] { cmdImportdatafile_Click(); });

    connectContacts();
    connectTemplates();
}

frmMain::~frmMain() = default;

void frmMain::buildLayout() {
    setFont(platform::windowFont());
    setFixedSize(Twips(10845), Twips(8265));

    // Contact group.
    Frame = new QGroupBox(QStringLiteral("Enter/Select your Contact Information"), this);
    place(Frame, 60, 90, 10785, 885);
    Label1 = new QLabel(QStringLiteral("Dealership:"), Frame);
    place(Label1, 150, 360, 915, 255);
    cmbDealer = new QComboBox(Frame);
    place(cmbDealer, 1050, 330, 2115, 315);
    Label2 = new QLabel(QStringLiteral("Name:"), Frame);
    place(Label2, 3360, 360, 555, 255);
    cmbName = new QComboBox(Frame);
    cmbName->setEditable(true);
    cmbName->setInsertPolicy(QComboBox::NoInsert);
    place(cmbName, 3900, 330, 2505, 315);
    Label3 = new QLabel(QStringLiteral("Phone:"), Frame);
    place(Label3, 6510, 360, 585, 255);
    txtPhone = new QLineEdit(Frame);
    place(txtPhone, 7170, 330, 2025, 300);
    cmdSave = new QPushButton(QStringLiteral("Save"), Frame);
    place(cmdSave, 9360, 270, 1035, 345);
    cmdSave->setEnabled(false);

    // Source date group.
    Frame1 = new QGroupBox(QStringLiteral("Select a Source Date"), this);
    place(Frame1, 60, 1020, 10785, 795);
    cmbMode = new QComboBox(Frame1);
    cmbMode->addItems({QStringLiteral("REPLACE"), QStringLiteral("ADD")});
    place(cmbMode, 5400, 300, 1635, 315);
    cmbDates = new QComboBox(Frame1);
    place(cmbDates, 1110, 300, 3615, 315);
    Label4 = new QLabel(QStringLiteral("Mode:"), Frame1);
    place(Label4, 4860, 330, 555, 255);
    Label5 = new QLabel(QStringLiteral("Source Date:"), Frame1);
    place(Label5, 120, 330, 1095, 255);
    Label7 = new QLabel(QStringLiteral("Display:"), Frame1);
    place(Label7, 7200, 330, 675, 255);
    cmbDisplay = new QComboBox(Frame1);
    cmbDisplay->addItems(
        {QStringLiteral("ALL NAMES"), QStringLiteral("NOTE PRINTED"), QStringLiteral("PRINTED ONLY")});
    place(cmbDisplay, 7800, 300, 2745, 315);

    // Name group: the panel first, so that the header row and the list lie on top of it.
    Frame2 = new QGroupBox(QStringLiteral("Select Names"), this);
    place(Frame2, 60, 1830, 10755, 4515);
    pnlNames = new QWidget(Frame2);
    pnlNames->setObjectName(QStringLiteral("pnlNames"));
    place(pnlNames, 60, 210, 10695, 3675);
    cmdFind = new QPushButton(QStringLiteral("Find Name..."), Frame2);
    place(cmdFind, 5640, 3990, 1185, 375);
    const std::array<QString, 3> selCaptions{QStringLiteral("Delete"), QStringLiteral("Select All"),
                                             QStringLiteral("Clear")};
    for (size_t i = 0; i < 3; ++i) {
        cmdSel[i] = new QPushButton(selCaptions[i], Frame2);
        place(cmdSel[i], 7020 + 1230 * static_cast<int>(i), 3990, 1185, 375);
    }
    Label8 = new QLabel(QStringLiteral("Availible Names:"), Frame2);
    place(Label8, 90, 4110, 1275, 255);
    Label9 = new QLabel(QStringLiteral("Selected Names:"), Frame2);
    place(Label9, 2340, 4110, 1275, 255);
    lblAvail = new QLabel(QStringLiteral("0"), Frame2);
    place(lblAvail, 1350, 4110, 825, 255);
    lblSel = new QLabel(QStringLiteral("0"), Frame2);
    place(lblSel, 3630, 4110, 825, 255);
    lstNames = new NameList(Frame2);
    lstNames->setObjectName(QStringLiteral("lstNames"));
    place(lstNames, 90, 480, 10635, 3345);
    for (size_t i = 0; i < kHeaders.size(); ++i) {
        cmdSort[i] = new QPushButton(QString::fromLatin1(kHeaders[i].caption), Frame2);
        place(cmdSort[i], kHeaders[i].left, 240, kHeaders[i].width, 255);
        cmdSort[i]->setToolTip(QString::fromLatin1(kHeaders[i].tip));
        cmdSort[i]->setAutoDefault(false);
    }

    // Template group.
    Frame3 = new QGroupBox(QStringLiteral("Select a template"), this);
    place(Frame3, 60, 6390, 10695, 1335);
    const std::array<QString, 3> promoCaptions{QStringLiteral("Initial Contact Letters"),
                                               QStringLiteral("Follow-Up Letters"),
                                               QStringLiteral("Mailing Aids")};
    for (size_t i = 0; i < 3; ++i) {
        optPromos[i] = new QRadioButton(promoCaptions[i], Frame3);
        place(optPromos[i], 180, 270 + 285 * static_cast<int>(i), 1815, 255);
        optPromos[i]->setVisible(false);
    }
    optPromos[0]->setChecked(true);
    lstPromos = new QListWidget(Frame3);
    lstPromos->setSelectionMode(QAbstractItemView::SingleSelection);
    place(lstPromos, 150, 180, 10515, 1035);

    // Command row.
    const std::array<QString, 3> printCaptions{QStringLiteral("Print Call"), QStringLiteral("Preview"),
                                               QStringLiteral("Print")};
    for (size_t i = 0; i < 3; ++i) {
        cmdPrint[i] = new QPushButton(printCaptions[i], this);
        place(cmdPrint[i], 6030 + 1200 * static_cast<int>(i), 7800, 1125, 375);
    }
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    place(cmdExit, 9630, 7800, 1125, 375);
    cmdImportNewTemplate = new QPushButton(QStringLiteral("Import new template"), this);
    place(cmdImportNewTemplate, 60, 7800, 1635, 375);
    cmdImportdatafile = new QPushButton(QStringLiteral("Import data file"), this);
    place(cmdImportdatafile, 1710, 7800, 1275, 375);

    // The window-wide tab order (labels, frames and the panel take no focus).
    const QList<QWidget*> order{
        cmbDealer,        cmbName,      txtPhone,   cmdSave,     cmbMode,     cmbDates,
        cmbDisplay,       cmdFind,      cmdSel[0],  cmdSel[1],   cmdSel[2],   optPromos[0],
        optPromos[1],     optPromos[2], lstNames,   cmdPrint[0], cmdPrint[1], cmdPrint[2],
        cmdExit,          cmdSort[0],   cmdSort[1], cmdSort[2],  cmdSort[3],  cmdSort[4],
        cmdSort[5],       cmdSort[6],   cmdSort[7], cmdSort[8],  lstPromos,   cmdImportNewTemplate,
        cmdImportdatafile};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Window state kept in the controls' tags.
    SetTag(lstNames, QStringLiteral("Street ASC"));
    for (QPushButton* header : cmdSort)
        SetTag(header, QStringLiteral("ASC"));
    SetTag(pnlNames, QStringLiteral("0"));
    SetTag(cmbDates, QString());
    SetTag(cmdFind, QString());
}

namespace {
// Selecting the first entry of an empty box fails, as it always has: the rest of the load is skipped.
void selectFirst(QComboBox* box) {
    if (box->count() == 0)
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    box->setCurrentIndex(0);
}
} // namespace

void frmMain::Form_Load() {
    db::Recordset rs;
    try {
        setWindowTitle(QStringLiteral("Quillmark"));

        bEnableClicks = true;
        bEnablePhoneChange = true;
        iListSource = 0;

        rs.open(QStringLiteral("SELECT ID, Name FROM Dlr_Info ORDER BY Name"), *DbConnection,
                db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        while (!rs.eof()) {
            cmbDealer->addItem(rs.value(QStringLiteral("Name")).toString(),
                               rs.value(QStringLiteral("ID")).toInt());
            rs.moveNext();
        }
        rs.close();
        selectFirst(cmbDealer);

        FillContacts();

        rs.open(QStringLiteral("SELECT ID, Date FROM DataFiles ORDER BY Date DESC"), *DbConnection,
                db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        const QLocale english(QLocale::English);
        while (!rs.eof()) {
            const QVariant date = rs.value(QStringLiteral("Date"));
            const QString text =
                date.isNull() ? QString()
                              : english.toString(date.toDateTime().date(), QStringLiteral("MMMM d, yyyy"));
            cmbDates->addItem(text, rs.value(QStringLiteral("ID")).toInt());
            rs.moveNext();
        }
        rs.close();

        cmbMode->setCurrentIndex(0);

        SetTag(cmbDisplay, QStringLiteral("0"));
        cmbDisplay->setCurrentIndex(0);
        cmbDisplay_Click();

        lstNames->setTabStops({23, 112, 204, 288, 316, 369, 405, 441, 450});

        // Before the first lead list there is no date to choose: the list stays empty, the rest loads.
        if (cmbDates->count() > 0) {
            selectFirst(cmbDates);
            cmbDates_Click();
        }

        FillPromos();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub Form_Load"));
        if (rs.state() == db::adStateOpen)
            rs.close();
    }
}

void frmMain::cmdExit_Click() {
    try {
        close();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmdExit_Click"));
    }
}

// The window's unloading: the program ends with it, without asking.
void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    ExitProgram();
}
