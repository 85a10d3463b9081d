// The installer's dialogs, icon and controls, shared by its resource script and the window code.
#pragma once

#define MIRT_INSTALLER_DIALOG 102
#define MIRT_INSTALLER_ABOUT 100
#define MIRT_INSTALLER_ICON 128
#define MIRT_INSTALLER_LOG 1007
#define MIRT_INSTALLER_INSTALL_BUTTON 1002
// The About entry of the system menu: a system command below 0xF000, low four bits clear.
#define MIRT_INSTALLER_ABOUT_COMMAND 0x0010
