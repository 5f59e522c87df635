// Carries out the commands that buy, sell and schedule vehicles and delete
// schedules.
#pragma once

// Installs the handlers of the buy, sell, set-schedule and delete-schedule
// commands.
void InstallVehicleCommands();
