#include "demo/messages.h"

#include <cstdio>

#include "platform/platform.h"

void showError(const char* text)
{
    platform::messageBox(text, "ERROR", platform::MB_OK);
}

void showErrorId(int id)
{
    char text[16];
    std::snprintf(text, sizeof text, "%i", id);
    showError(text);
}

void showUnknownId(int id)
{
    char text[32];
    std::snprintf(text, sizeof text, "ID DESCONEGUDA: %i", id);
    showError(text);
}

void showDataEndsInside(int id)
{
    char text[40];
    std::snprintf(text, sizeof text, "DATA ENDS INSIDE CHUNK %i", id);
    showError(text);
}
