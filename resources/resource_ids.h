/* Identifiers of the executable's resources, shared by the resource script
   and the code that loads them. Plain preprocessor definitions, so that the
   resource compiler reads this file as well as the C++ compiler. */
#pragma once

#define IDR_MAINFRAME 128

#define IDS_PRODUCT_NAME 101
#define IDS_WARNING_TITLE 102
#define IDS_KB_REFERENCE 103
#define IDS_PATH_LABEL 104
#define IDS_SHOW_AGAIN 105
#define IDS_NEVER_SHOW_AGAIN 106
#define IDS_DISMISS_BUTTON 107
