#include "main_window.h"
#include "profile_site.h"

#include <QApplication>
#include <QMessageBox>

// The harvester pointed at a local profile site, so a harvest can be seen without the
// real site.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ProfileSite site;
    if (!site.listen()) {
        QMessageBox::critical(nullptr, frmMain::kTitle, QStringLiteral("演示站点无法启动"));
        return 1;
    }
    frmMain window(site.profileBaseUrl());
    window.show();
    return app.exec();
}
