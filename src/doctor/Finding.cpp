#include "doctor/Finding.h"

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
        return QStringLiteral("Fehler");
    case Finding::Severity::warning:
        return QStringLiteral("Warnung");
    case Finding::Severity::hint:
        return QStringLiteral("Hinweis");
    }
    return {};
}
