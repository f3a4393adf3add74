#pragma once
// The whole of ivqa behind each system's entry point, with the arguments
// as UTF-8 text.

int RunProgram(int argc, char** argv);
