// The progress dialog's resource and control identifiers, shared by the dialog template that is
// compiled into the scan-to-file library and the code that creates the dialog from it.
#pragma once

#define MIRT_PROGRESS_DIALOG 3000
#define MIRT_PROGRESS_BUTTON 1
#define MIRT_PROGRESS_BAR 3000
#define MIRT_PROGRESS_TEXT 3001
