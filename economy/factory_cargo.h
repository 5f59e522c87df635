// Lets the vehicles reach the passengers, mail and products waiting at the
// factories: installs the vehicles' cargo hooks for the current process.
#pragma once

void InstallFactoryCargoHooks();
void UninstallFactoryCargoHooks();
