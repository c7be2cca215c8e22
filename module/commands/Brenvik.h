#pragma once
// The command functions the module registers with the host, and the first-run preferences check
// run once at load. Every handler takes nothing and returns nothing; the host calls it on its main
// thread when the command is typed.
#include "classlib/Afx.h"

// Run once at load, after the host folder is known: makes the module's folders and, when there is
// no preferences file yet, asks for the preferences. Always 0; nothing leaves it.
int checkPreferencesExist();

class CAcadDrawing;

// 1 when the drawing holds a block definition of exactly that name (letter case counts), never for
// an anonymous one; 0 otherwise, also when the drawing cannot be read.
int blockDefinitionExists(CAcadDrawing* drawing, CString name);

// The gross-area command in one function with messages of its own; registered as no command.
void grossAreaBlockCreate2();

// KELMO_COMMANDS
void Brenvik();
void blockHyperlink();
void blockCreate();
void grossAreaBlockCreate();
void blockDelete();
void createRoomAreaCSV();
void legendBlockDefine();
void pieBlockDefine();
void graphicReport();
void applyGraphicReport();
void kelmoFindReplaceStub();
void legendMarkerBlockCreate();
void pieMarkerBlockCreate();
// KELMO_UTIL
void updateSpaces();
void syncXDataToAttributes();
void updateTextSize();
void kelmoAuxilarator();
void kelmoRefreshTags();
void blankThirdAttribute();
// KELMO_DIAG
void listBlockNameIdentifier();
// KELMO_ADMIN
void editPreferences();
// KELMO_HELP
void commandHelp();
void diagnosticsHelp();
// KELMO_SECRET
void hatchAllSpaces();
void hatchSpace();
void kelmoTorvexConversion();
void checkAttributeLayers();
void displaySpaceDetails();
// KELMO_TEST
void test();
// KELMO_DIAGNOSTICS
void diagnosticAll();
void diagnosticBasic();
void diagnosticDialog();
void diagnosticErrorsA();
void diagnosticErrorsB();
void diagnosticErrorsC();
void diagnosticErrorsD();
void diagnosticUserInput();
void diagnosticXML();
