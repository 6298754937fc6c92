#include "cli/invocation/VersionRequest.h"

bool isVersionRequest(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == u"--")
            return false;
        if (argument == u"--version")
            return true;
    }
    return false;
}
