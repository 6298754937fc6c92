#include "doctor/Finding.h"

#include <QCoreApplication>

QString rawValue(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::error:
        return QStringLiteral("error");
    case Finding::Severity::warning:
        return QStringLiteral("warning");
    case Finding::Severity::hint:
        return QStringLiteral("hint");
    }
    return {};
}

QString label(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::error:
        return QCoreApplication::translate("Finding", "Fehler");
    case Finding::Severity::warning:
        return QCoreApplication::translate("Finding", "Warnung");
    case Finding::Severity::hint:
        return QCoreApplication::translate("Finding", "Hinweis");
    }
    return {};
}

QString Finding::fixLine() const
{
    return QCoreApplication::translate("Finding", "Abhilfe: %1").arg(fix);
}
