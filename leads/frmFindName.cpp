#include "leads/frmFindName.h"

#include "errors/ShowError.h"
#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QEvent>
#include <QKeyEvent>

frmFindName::frmFindName(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmFindName"));
    setWindowTitle(QStringLiteral("Find Name"));
    setFont(platform::windowFont(QStringLiteral("Arial")));
    setFixedSize(platform::twipsToPixels(5010), platform::twipsToPixels(1560));
    const auto place = platform::placeInTwips;

    lblFindName = new QLabel(QStringLiteral("Enter a Name or Partial Name to search for:"), this);
    lblFindName->setFont(platform::windowFont(QStringLiteral("MS Sans Serif")));
    place(lblFindName, 180, 60, 4485, 255);

    txtName = new QLineEdit(this);
    place(txtName, 180, 660, 4605, 315);

    cmdFindName[0] = new QPushButton(QStringLiteral("OK"), this);
    place(cmdFindName[0], 1410, 1080, 1155, 345);
    cmdFindName[0]->setDefault(true);
    cmdFindName[0]->setEnabled(false);

    cmdFindName[1] = new QPushButton(QStringLiteral("Cancel"), this);
    place(cmdFindName[1], 2670, 1080, 1155, 345);
    cmdFindName[1]->setAutoDefault(false);

    Label1 = new QLabel(examplesText(), this);
    Label1->setFont(platform::windowFont(QStringLiteral("MS Sans Serif")));
    place(Label1, 180, 360, 4515, 225);

    setTabOrder(txtName, cmdFindName[0]);
    setTabOrder(cmdFindName[0], cmdFindName[1]);

    connect(txtName, &QLineEdit::textChanged, this, [this] { txtName_Change(); });
    txtName->installEventFilter(this);
    for (int i = 0; i < 2; ++i)
        connect(cmdFindName[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdFindName_Click(i); });
}

QString frmFindName::examplesText() {
    return QStringLiteral(R"((Examples: ""John Smith"", ""John"", ""Smith"", ""Sm"", etc.))");
}

void frmFindName::txtName_Change() {
    try {
        // Any character counts, a lone blank included.
        cmdFindName[0]->setEnabled(!txtName->text().isEmpty());
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form FindName: Sub txtName_Change"));
    }
}

void frmFindName::txtName_GotFocus() {
    try {
        txtName->setSelection(0, static_cast<int>(txtName->text().size()));
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form FindName: Sub txtName_GotFocus"));
    }
}

void frmFindName::cmdFindName_Click(int Index) {
    try {
        iResponse = Index == 0 ? 1 : 2;
        hide();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form FindName: Sub cmdFindName_Click"));
        // A failed OK counts as Cancel.
        iResponse = 2;
        hide();
    }
}

void frmFindName::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button's key; the close box, which also ends the dialog, leaves iResponse 0.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdFindName[1]->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmFindName::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtName && event->type() == QEvent::FocusIn)
        txtName_GotFocus();
    return QDialog::eventFilter(watched, event);
}

void frmFindName::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    txtName->setFocus(Qt::OtherFocusReason);
    txtName_GotFocus();
}
