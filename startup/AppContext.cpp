#include "startup/AppContext.h"

#include "startup/Globals.h"

AppContext AppContext::fromProgram() {
    return AppContext{
        *DbConnection,   DataFolder,     TemplatesFolder,     InitialsFolder,
        FollowUpsFolder, MailAidsFolder, ::mergeDataFolder(), UserDataFolder + QStringLiteral("/Error.log")};
}
