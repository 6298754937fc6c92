#include "app/terminal/CommandVocabulary.h"

#include "protocol/DisplaySetting.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"

QStringList commandVocabulary()
{
    QStringList lines;
    for (const SettingInfo& setting : displaySettings())
        lines.append(QStringLiteral("get ") + setting.name);
    for (const SettingInfo& setting : displaySettings()) {
        const QString set = QStringLiteral("set ") + setting.name + u'=';
        switch (setting.kind) {
        case SettingKind::powerState:
            for (PowerState state : allPowerStates())
                lines.append(set + rawValue(state));
            break;
        case SettingKind::input:
            for (const InputSource& input : InputSource::all())
                lines.append(set + input.id);
            break;
        case SettingKind::toggle:
            lines.append(set + QStringLiteral("on"));
            lines.append(set + QStringLiteral("off"));
            break;
        case SettingKind::level:
            lines.append(set);
            break;
        case SettingKind::text:
            break;
        }
    }
    return lines;
}
