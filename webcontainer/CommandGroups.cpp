// The bridge's command groups: a new group adds its register function here.
#include "webcontainer/CommandTable.h"

void registerFileCommands(CommandTable& table);
void registerValueAndDeviceCommands(CommandTable& table);

void registerCommandGroups(CommandTable& table)
{
    registerFileCommands(table);
    registerValueAndDeviceCommands(table);
}
