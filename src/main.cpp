#include "AppInfo.h"
#include "SingleApplication.h"

#include <QMessageBox>

int main(int argc, char* argv[])
{
    SingleApplication app(argc, argv, AppInfo::applicationId);
    Q_INIT_RESOURCE(Res);
    QCoreApplication::setApplicationName(AppInfo::applicationName);
    QCoreApplication::setOrganizationName(AppInfo::organizationName);
    QApplication::setQuitOnLastWindowClosed(false);

    if (app.isRunning()) {
        QMessageBox::information(nullptr, AppInfo::applicationName,
            AppInfo::applicationName + QStringLiteral(" already running!"));
        return -1;
    }
    return 0;
}
