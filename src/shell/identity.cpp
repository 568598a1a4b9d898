#include "identity.h"

#include "versiontext.h"

#include <QGuiApplication>

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("linetally"));
    QCoreApplication::setApplicationVersion(VersionText());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.linetally.Linetally"));
}
