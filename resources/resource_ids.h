// Resource and control identifiers shared by the resource script and the dialog code.
// Mnemonics in the template stay unique: M, F, S, B, I, X, U (and O for Open).
#pragma once

#define IDI_PROGRAM        101
#define IDD_SETUP          102

#define IDC_INSTALL        1     /* IDOK: also the posted installation step */
#define IDC_EXIT_OPEN      2     /* IDCANCEL: Exit, or Open once installed */
#define IDC_GROUP          999
#define IDC_FOLDER         1000
#define IDC_GROUP_LABEL    1004  /* a field's label is the field's id + 5 */
#define IDC_FOLDER_LABEL   1005
#define IDC_BROWSE         1007
#define IDC_SUGGESTED      1008
#define IDC_UNINSTALL      1013
#define IDC_STATUS         1014
#define IDC_PROGRAM_ICON   1016
#define IDC_METER          1020
#define IDC_HINT_PANEL     1021
#define IDC_NOTICE         1022
#define IDC_UNNAMED        -1

#define PAYLOAD_TYPE       256
#define PAYLOAD_FIRST_ID   2000
