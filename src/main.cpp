#include "commandline.h"
#include "form2.h"
#include "identity.h"
#include "privatememory.h"
#include "process.h"
#include "reportswindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::KeepMemoryPrivate();
    platform::ReadCharactersAsUtf8();
    if (argc > 1 && qstrcmp(argv[1], "reports") == 0)
        return reports::Run(argc, argv);
    if (const auto status = cli::HandleCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    SetApplicationIdentity();
    Form2 splash;
    splash.Form_Load();
    splash.show();
    return app.exec();
}
