// SPDX-License-Identifier: MIT
// coffer: the desktop program. Starts with the splash window, which opens the main window.

#include "app/start_arguments.h"
#include "shell/product_config.h"
#include "shell/program_folder.h"
#include "ui/base/user_dialogs.h"
#include "ui/close_on_signals.h"
#include "ui/item_lookup_services.h"
#include "ui/link_launcher.h"
#include "ui/main_window.h"
#include "ui/program_icon.h"
#include "ui/splash_window.h"

#include <QApplication>
#include <QSettings>
#include <csignal>
#include <memory>

int main(int argc, char** argv) {
    using namespace coffer;
    if (AnswerInformationRequest(argc, argv))
        return 0;
    // A file size limit then fails the write that reaches it (EFBIG, named in the message) instead of
    // killing the program half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // wanted by the embedded browsers
    QApplication app(argc, argv);
    CloseWindowsOnSignals();
    const ProductConfig product = LoadProductConfig();
    QApplication::setApplicationName(QString::fromStdString(product.programName));
    QApplication::setOrganizationName(QString::fromStdString(product.companyName));
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setDesktopFileName(QStringLiteral(COFFER_APP_ID)); // the menu entry of the installed program
    const QStringList files = FilesToImport(QApplication::arguments());

    QtUserDialogs dialogs;
    LinkLauncher launcher(QString::fromStdString(product.website), QString::fromLatin1(kArmoryBase));
    QSettings store; // the user's own, under the company and program names
    MainWindowSettings settings{.product = product,
                                .makerWebsite = product.website,
                                .programFolder = DataFolder(),
                                .workFolder = WorkFolder(),
                                .store = &store,
                                .defaultLedger = UserDataFolder() / "ledger.sqlite",
                                .browserProfile = UserDataFolder() / "browser",
                                .watchLines = UserDataFolder() / "watch-lines.txt",
                                .alertWebhook = UserDataFolder() / "alert-webhook.txt"};
    std::unique_ptr<MainWindow> mainWindow;
    SplashWindow frmSplash([&] {
        mainWindow = std::make_unique<MainWindow>(settings, MainWindowServices{&dialogs, &launcher,
                                                                               WebPriceSources(kItemDatabaseBase),
                                                                               ItemPageResolver(kItemDatabaseBase)});
        mainWindow->showAtStart();
        if (!files.isEmpty())
            mainWindow->importFiles(files);
    });
    frmSplash.show();
    return QApplication::exec();
}
