#include "startup/Main.h"

#include "database/Database.h"
#include "dealer/DealerDialog.h"
#include "dealer/DealerStore.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "intake/ProgressWindow.h"
#include "intake/StartupImport.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "startup/AppContext.h"
#include "window/MainWindow.h"

#include <memory>

const char* const kSupportTelephone = "1-800-555-0142";

namespace {
// Where the error box says a failure of the start happened.
const QString kStartLocation = QStringLiteral("Module Main: Sub Main");

using platform::pixelsToTwips;

bool screenLargeEnough(QSize pixels) {
    return pixelsToTwips(pixels.width()) >= 12000 && pixelsToTwips(pixels.height()) >= 9000;
}

void showScreenTooSmall() {
    const QString crlf2 = QStringLiteral("\r\n\r\n");
    platform::messageBox(
        QStringLiteral("Your current screen size is below the minimum screen size required by Quillmark.") +
            crlf2 +
            QStringLiteral(
                "The minimum screen size required by Quillmark is 800 x 600 pixels.  Please enlarge your "
                "screen to at least this minimum size before running Quillmark.") +
            crlf2 +
            QStringLiteral(
                "For further assistance, please call Meridon Financial Services Technical Support at ") +
            QString::fromLatin1(kSupportTelephone) + QStringLiteral("."),
        platform::Icon::Critical, platform::Buttons::OkOnly,
        QStringLiteral("Screen Size Below Minimum Requirements"));
}

// True when the dealer information exists or has just been entered; false when the user refused it.
bool ensureDealerInformation(db::Connection& connection) {
    if (!dealer::dealerNameMissing(connection))
        return true;

    DealerDialog dialog(connection);
    platform::showModal(dialog);
    if (dialog.result() != QDialog::Accepted) {
        platform::messageBox(QStringLiteral("Your Dealer Information is required to use Quillmark."),
                             platform::Icon::Critical, platform::Buttons::OkOnly,
                             QStringLiteral("Dealer Information Not Saved"));
        return false;
    }
    platform::messageBox(QStringLiteral("Your Dealer Information has been saved successfully."),
                         platform::Icon::Information, platform::Buttons::OkOnly,
                         QStringLiteral("Dealer Information Saved"));
    return true;
}

void placeMainWindow(MainWindow& window, QSize screen) {
    const QSize frame = window.frameGeometry().size();
    int top = 0;
    if (pixelsToTwips(screen.width()) == 12000 && pixelsToTwips(screen.height()) == 9000)
        top = platform::twipsToPixels(-15); // one pixel above the top edge, so that the whole window fits
    else
        top = (screen.height() - frame.height()) / 2;
    const int left = (screen.width() - frame.width()) / 2;
    window.move(left, top);
}

} // namespace

MainWindow* shownMainWindow(const AppContext& context) {
    return qobject_cast<MainWindow*>(context.mainWindow());
}

bool startProgram(AppContext& context) {
    const QSize screen = platform::screenSize();
    if (!screenLargeEnough(screen)) {
        showScreenTooSmall();
        return false;
    }

    std::unique_ptr<ProgressWindow> progress;
    try {
        if (!context.lockUserDataFolder()) {
            platform::messageBox(QStringLiteral("Quillmark is already running."), platform::Icon::Information,
                                 platform::Buttons::OkOnly, QStringLiteral("Quillmark"));
            return false;
        }
        context.openDatabase();

        if (!ensureDealerInformation(context.connection())) {
            context.exitProgram();
            return false;
        }

        progress = std::make_unique<ProgressWindow>();
        // A file that cannot be imported is the user's to mend, not a reason to keep the program shut:
        // it is told once the main window is up. A failure of the database still ends the start.
        const intake::FailedFiles failed = scanAndImport(context, *progress);

        auto* window = new MainWindow(context);
        window->setAttribute(Qt::WA_DeleteOnClose);
        context.setMainWindow(window);
        window->load();
        // The frame's size is known only once the window exists on screen; nothing is painted before
        // the event loop runs, so placing it right after showing looks the same to the user.
        window->show();
        placeMainWindow(*window, screen);
        progress.reset();
        reportFailedFiles(context, failed);
        return true;
    } catch (const Failure& failure) {
        // The progress window stays up behind the message: it names the file that was being read.
        showError(failure, kStartLocation, true);
    } catch (const std::exception& e) {
        showError(ErrorNumbers::InternalError, QString::fromLocal8Bit(e.what()), kStartLocation, true);
    }
    delete shownMainWindow(context);
    context.exitProgram();
    return false;
}
