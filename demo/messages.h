// Message boxes of the player, with the captions the data readers use.
#pragma once

// Modal "ERROR" box with an OK button.
void showError(const char* text);
// "ERROR" box whose text is the number in decimal.
void showErrorId(int id);
// "ERROR" box "ID DESCONEGUDA: <id>" for a chunk id a reader does not know.
void showUnknownId(int id);
// "ERROR" box "DATA ENDS INSIDE CHUNK <id>" for a top-level chunk cut short
// by the end of the demo data.
void showDataEndsInside(int id);
