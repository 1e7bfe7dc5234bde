// Runs a shell command for the tool tests: what it printed on both streams,
// and its exit code in *code (-1 when it did not exit normally).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

inline std::string outputOf(const std::string& command, int* code)
{
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    int status = pipe ? pclose(pipe) : -1;
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return text;
}
