// Message boxes of the player, with the captions the data readers use.
#pragma once

// Modal "ERROR" box with an OK button.
void showError(const char* text);
// "ERROR" box whose text is the number in decimal.
void showErrorId(int id);
// "ERROR" box "ID DESCONEGUDA: <id>" for a chunk id a reader does not know.
void showUnknownId(int id);
