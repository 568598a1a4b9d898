#include "form2.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form2 splash;
    splash.Form_Load();
    splash.show();
    return app.exec();
}
