#include "app/shell/DesktopIdentity.h"

#include <QGuiApplication>

void applyDesktopIdentity()
{
    QGuiApplication::setDesktopFileName(QStringLiteral(BILDWART_APP_ID));
    QGuiApplication::setWindowIcon(applicationIcon());
}

QIcon applicationIcon()
{
    return QIcon::fromTheme(QStringLiteral(BILDWART_APP_ID),
                            QIcon(QStringLiteral(":/icons/" BILDWART_APP_ID ".svg")));
}
